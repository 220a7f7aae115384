// The connection pool behind pooled database handles: every script that
// opens the same database (type and the first three "DbOpen(" texts) shares
// one TagDbConnection, which keeps at most DB_MAX_CONN real back ends (its
// members) and hands a free member to each request in arrival order. The
// request copies its whole result into the script's TagLocalData, so the
// member is free again as soon as its statement is done.
//
// - A database-selection statement ("use ...") is remembered (the first one
//   only) and sent to each member, also a later one, on the thread that
//   receives the member, before that request's own statement.
// - A member whose back end failed to open is opened again when it is handed
//   out; when that fails too, the request gets the back end's own codes.
// - Connecting happens outside every lock, so a slow server delays only the
//   scripts that open it.
//
// Ownership: the control object owns its connections (kept until it is
// destroyed) and they own their members; it must outlive every call.
// Thread rules: any thread. Lock order: control lock, then a connection's
// lock; statements run outside both on a member marked busy.
#ifndef VTTEL_SERVICES_DB_DB_CONNECTION_POOL_H_
#define VTTEL_SERVICES_DB_DB_CONNECTION_POOL_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "services/db/data_set.h"
#include "services/db/db_pool.h"

namespace services {

// Results of a pooled request.
inline constexpr int32_t kDbPoolNoMember = -100;
inline constexpr int32_t kDbPoolTimeout = -200;
// A request looks for a free member this many times, this far apart.
inline constexpr int kDbPoolTries = 200;
inline constexpr uint32_t kDbPoolTryMs = 50;
// How often closing a user looks whether the member it removes is free.
inline constexpr uint32_t kDbPoolCloseCheckMs = 100;

// Makes a back end of the type with the four texts, as "DbOpen(" would; null
// when this build has no back end of the type.
using DbMemberFactory =
    std::function<std::unique_ptr<TagDataSet>(int32_t type, const DbOpenTexts& texts)>;

// The factory of the program: dBASE, SQL Server, ADO and MySQL back ends.
std::unique_ptr<TagDataSet> MakeDbMember(int32_t type, const DbOpenTexts& texts);

class TagDbConnection {
 public:
  TagDbConnection(int32_t type, const DbOpenTexts& texts, const DbMemberFactory& factory);
  TagDbConnection(const TagDbConnection&) = delete;
  TagDbConnection& operator=(const TagDbConnection&) = delete;

  // Same type and byte-wise equal first three texts.
  bool Serves(int32_t type, const DbOpenTexts& texts);
  // Adds a user (and a member while users <= DB_MAX_CONN): users - 1, or
  // kDbPoolRefused when no back end of the type can be made.
  int32_t Open(const DbOpenTexts& texts);
  // The member's ExecToLocal result; the member count for "use ...";
  // kDbPoolNoMember (none, and none being made), kDbPoolTimeout.
  int32_t Run(std::string_view sql, TagLocalData& local);
  // Gives a user back: the remaining users, -1 when there were none.
  int32_t Close();
  // The number of members now.
  size_t MemberCount();

 private:
  struct Member {
    std::unique_ptr<TagDataSet> data;  // replaced only by the thread holding busy
    std::atomic<uint8_t> busy{0};
  };
  struct Waiter {
    Member* member = nullptr;  // guarded by mu_
  };

  // REQUIRES: mu_ held. Hands free members to the waiters at the head.
  void HandOut();
  // REQUIRES: mu_ held. Takes out the newest members beyond
  // min(users, DB_MAX_CONN).
  std::vector<std::unique_ptr<Member>> TakeSurplus();
  // Deletes members taken out, each once no request runs on it.
  static void DeleteWhenFree(std::vector<std::unique_ptr<Member>> members);
  // Runs sql on a member handed to this thread, then frees it.
  int32_t RunOn(Member& member, std::string_view sql, TagLocalData& local);

  const int32_t type_;
  const DbMemberFactory& factory_;
  std::mutex mu_;
  DbOpenTexts texts_;                            // guarded by mu_
  std::vector<std::unique_ptr<Member>> members_;  // guarded by mu_, oldest first
  std::deque<Waiter*> waiters_;                  // guarded by mu_
  int32_t users_ = 0;                            // guarded by mu_
  int32_t connecting_ = 0;                       // guarded by mu_: members being made
  std::string useSql_;                           // guarded by mu_: the first "use"
};

class TagDbConnectionsCtrl : public DbPool {
 public:
  explicit TagDbConnectionsCtrl(DbMemberFactory factory = MakeDbMember);
  TagDbConnectionsCtrl(const TagDbConnectionsCtrl&) = delete;
  TagDbConnectionsCtrl& operator=(const TagDbConnectionsCtrl&) = delete;

  int32_t Open(int32_t type, const DbOpenTexts& texts) override;
  int32_t Run(int32_t connection, std::string_view sql, TagLocalData& local) override;
  int32_t Close(int32_t connection) override;
  // The connection of a number, or null.
  TagDbConnection* Connection(int32_t connection);

 private:
  const DbMemberFactory factory_;
  std::mutex mu_;
  std::vector<std::unique_ptr<TagDbConnection>> connections_;  // guarded by mu_
};

// The process's pool with the program's factory: built at static
// initialisation and destroyed after the last line (InstallProcessStores
// installs it).
TagDbConnectionsCtrl& ProcessDbConnections();

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_CONNECTION_POOL_H_

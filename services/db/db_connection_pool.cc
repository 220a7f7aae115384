#include "services/db/db_connection_pool.h"

#include <algorithm>

#include "frame/log.h"
#include "frame/settings.h"
#include "platform/clock.h"
#include "services/db/ado_data.h"
#include "services/db/dbf_data.h"
#include "services/db/local_data.h"
#include "services/db/mysql_data.h"
#include "services/db/syb_data.h"

namespace services {
namespace {

bool IsPooledType(int32_t type) {
  return type == kDbTypeDbf || type == kDbTypeSybase || type == kDbTypeAdo ||
         type == kDbTypeMySql;
}

int32_t MaxMembers() { return frame::GetSettings().db_max_conn.load(std::memory_order_relaxed); }

bool IsUseStatement(std::string_view sql) {
  const std::string_view head = sql.substr(0, 4);
  return head == "use " || head == "USE ";
}

TagDbConnectionsCtrl g_process_connections;

}  // namespace

std::unique_ptr<TagDataSet> MakeDbMember(int32_t type, const DbOpenTexts& texts) {
  switch (type) {
    case kDbTypeDbf: return std::make_unique<TagDbfData>(texts[0]);
    case kDbTypeSybase: return std::make_unique<TagSybData>(texts[0], texts[1], texts[2], texts[3]);
    case kDbTypeAdo: return std::make_unique<TagAdoData>(texts[0], texts[3]);
    case kDbTypeMySql:
      return std::make_unique<TagMySqlData>(texts[0], texts[1], texts[2], texts[3]);
    default: return nullptr;
  }
}

TagDbConnection::TagDbConnection(int32_t type, const DbOpenTexts& texts,
                                 const DbMemberFactory& factory)
    : type_(type), factory_(factory), texts_(texts) {}

bool TagDbConnection::Serves(int32_t type, const DbOpenTexts& texts) {
  std::lock_guard<std::mutex> lock(mu_);
  return type == type_ && texts[0] == texts_[0] && texts[1] == texts_[1] && texts[2] == texts_[2];
}

int32_t TagDbConnection::Open(const DbOpenTexts& texts) {
  int32_t result = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    result = users_++;
    if (users_ > MaxMembers()) return result;
    ++connecting_;
  }
  std::unique_ptr<TagDataSet> data = factory_(type_, texts);
  std::vector<std::unique_ptr<Member>> surplus;
  {
    std::lock_guard<std::mutex> lock(mu_);
    --connecting_;
    if (data == nullptr) {
      --users_;
      frame::LogAlwaysF("DbPool: no back end for database type %d", type_);
      return kDbPoolRefused;
    }
    texts_ = texts;
    auto member = std::make_unique<Member>();
    member->data = std::move(data);
    members_.push_back(std::move(member));
    // Users may have closed while this member connected.
    surplus = TakeSurplus();
  }
  DeleteWhenFree(std::move(surplus));
  return result;
}

std::vector<std::unique_ptr<TagDbConnection::Member>> TagDbConnection::TakeSurplus() {
  std::vector<std::unique_ptr<Member>> surplus;
  const size_t wanted = static_cast<size_t>(std::max(0, std::min(users_, MaxMembers())));
  while (members_.size() > wanted) {
    surplus.push_back(std::move(members_.back()));
    members_.pop_back();
  }
  return surplus;
}

void TagDbConnection::DeleteWhenFree(std::vector<std::unique_ptr<Member>> members) {
  // A request may still run on a member taken out: it is deleted when that
  // request is done.
  for (const std::unique_ptr<Member>& m : members) {
    while (m->busy.load(std::memory_order_acquire) != 0) {
      platform::GetClock().Sleep(kDbPoolCloseCheckMs);
    }
  }
}

void TagDbConnection::HandOut() {
  for (const std::unique_ptr<Member>& m : members_) {
    if (waiters_.empty()) return;
    if (m->busy.load(std::memory_order_acquire) != 0) continue;
    m->busy.store(1, std::memory_order_relaxed);
    waiters_.front()->member = m.get();
    waiters_.pop_front();
  }
}

int32_t TagDbConnection::Run(std::string_view sql, TagLocalData& local) {
  Waiter own;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (members_.empty() && connecting_ == 0) return kDbPoolNoMember;
    if (IsUseStatement(sql)) {
      if (useSql_.empty()) useSql_ = std::string(sql);
      return static_cast<int32_t>(members_.size());
    }
    waiters_.push_back(&own);
  }
  platform::Clock& clock = platform::GetClock();
  for (int attempt = 0; attempt < kDbPoolTries; ++attempt) {
    Member* member = nullptr;
    {
      std::lock_guard<std::mutex> lock(mu_);
      HandOut();
      member = own.member;
    }
    if (member != nullptr) return RunOn(*member, sql, local);
    clock.Sleep(kDbPoolTryMs);
  }
  std::lock_guard<std::mutex> lock(mu_);
  waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), &own), waiters_.end());
  if (own.member != nullptr) own.member->busy.store(0, std::memory_order_release);
  return kDbPoolTimeout;
}

int32_t TagDbConnection::RunOn(Member& member, std::string_view sql, TagLocalData& local) {
  std::string use;
  DbOpenTexts texts;
  {
    std::lock_guard<std::mutex> lock(mu_);
    use = useSql_;
    texts = texts_;
  }
  if (member.data->state < 0) {
    if (std::unique_ptr<TagDataSet> fresh = factory_(type_, texts)) member.data = std::move(fresh);
  }
  if (!use.empty() && member.data->useApplied == 0) {
    member.data->ExecToLocal(use, local);
    member.data->useApplied = 1;
  }
  const int32_t result = member.data->ExecToLocal(sql, local);
  member.busy.store(0, std::memory_order_release);
  return result;
}

int32_t TagDbConnection::Close() {
  std::vector<std::unique_ptr<Member>> surplus;
  int32_t result = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (users_ < 1) return -1;
    result = --users_;
    surplus = TakeSurplus();
  }
  DeleteWhenFree(std::move(surplus));
  return result;
}

size_t TagDbConnection::MemberCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return members_.size();
}

TagDbConnectionsCtrl::TagDbConnectionsCtrl(DbMemberFactory factory)
    : factory_(std::move(factory)) {}

int32_t TagDbConnectionsCtrl::Open(int32_t type, const DbOpenTexts& texts) {
  if (!IsPooledType(type)) return kDbPoolRefused;
  TagDbConnection* connection = nullptr;
  int32_t number = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (; number < static_cast<int32_t>(connections_.size()); ++number) {
      if (connections_[number]->Serves(type, texts)) break;
    }
    if (number == static_cast<int32_t>(connections_.size())) {
      connections_.push_back(std::make_unique<TagDbConnection>(type, texts, factory_));
    }
    connection = connections_[number].get();
  }
  return connection->Open(texts) < 0 ? kDbPoolRefused : number;
}

TagDbConnection* TagDbConnectionsCtrl::Connection(int32_t connection) {
  std::lock_guard<std::mutex> lock(mu_);
  if (connection < 0 || connection >= static_cast<int32_t>(connections_.size())) return nullptr;
  return connections_[connection].get();
}

int32_t TagDbConnectionsCtrl::Run(int32_t connection, std::string_view sql, TagLocalData& local) {
  TagDbConnection* c = Connection(connection);
  return c != nullptr ? c->Run(sql, local) : kDbPoolBadConnection;
}

int32_t TagDbConnectionsCtrl::Close(int32_t connection) {
  TagDbConnection* c = Connection(connection);
  return c != nullptr ? c->Close() : kDbPoolBadConnection;
}

TagDbConnectionsCtrl& ProcessDbConnections() { return g_process_connections; }

}  // namespace services

// Fake pool members for the connection pool's tests: each records what it
// runs in a shared journal, can be made to fail its open, and can hold a
// request until the test lets it go.
#ifndef VTTEL_TESTS_SERVICES_DB_DB_POOL_FIXTURE_H_
#define VTTEL_TESTS_SERVICES_DB_DB_POOL_FIXTURE_H_

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "services/db/db_connection_pool.h"
#include "services/db/local_data.h"

namespace services_test {

// What the members ran, "<member> <sql>", and the gate that holds them.
struct MemberJournal {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<std::string> lines;
  int made = 0;
  int failOpens = 0;   // the next this many members fail their open
  bool hold = false;   // requests wait while true
  int running = 0;

  void Release() {
    std::lock_guard<std::mutex> lock(mu);
    hold = false;
    cv.notify_all();
  }
  void WaitRunning(int n) {
    std::unique_lock<std::mutex> lock(mu);
    cv.wait(lock, [&] { return running >= n; });
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mu);
    return lines;
  }
};

class FakeMember : public services::TagDataSet {
 public:
  FakeMember(MemberJournal& journal, int id, bool failed) : journal_(journal), id_(id) {
    state = failed ? -1 : 0;
  }
  int32_t ExecToLocal(std::string_view sql, services::TagLocalData& local) override {
    std::unique_lock<std::mutex> lock(journal_.mu);
    journal_.lines.push_back(std::to_string(id_) + " " + std::string(sql));
    ++journal_.running;
    journal_.cv.notify_all();
    journal_.cv.wait(lock, [&] { return !journal_.hold; });
    --journal_.running;
    if (state < 0) return -3;
    local.fields().Add("ID", 4);
    local.SetRows(1);
    local.AllocRecords();
    local.PutCell(0, 0, std::to_string(id_));
    return 1;
  }
  int32_t Exec(std::string_view) override { return 0; }
  int32_t Rows() override { return 0; }
  int32_t Cols() override { return 0; }
  int32_t ColName(int32_t, char*) override { return -1; }
  int32_t ColIndex(std::string_view) override { return -1; }
  int32_t GetValByName(char*, std::string_view, int32_t) override { return -1; }
  int32_t GetValByIndex(char*, int32_t, int32_t) override { return -1; }
  void Close() override {}

 private:
  MemberJournal& journal_;
  int id_;
};

// A pool of fake members (type 4 only) with DB_MAX_CONN set for the test.
class PoolFixture {
 public:
  explicit PoolFixture(int max_conn) { frame::GetSettings().db_max_conn = max_conn; }
  ~PoolFixture() { frame::GetSettings().db_max_conn = 0; }

  MemberJournal journal;
  services::TagDbConnectionsCtrl pool{
      [this](int32_t type, const services::DbOpenTexts&) -> std::unique_ptr<services::TagDataSet> {
        if (type != services::kDbTypeAdo) return nullptr;
        std::lock_guard<std::mutex> lock(journal.mu);
        const bool failed = journal.failOpens > 0;
        if (failed) --journal.failOpens;
        return std::make_unique<FakeMember>(journal, ++journal.made, failed);
      }};
};

}  // namespace services_test

#endif  // VTTEL_TESTS_SERVICES_DB_DB_POOL_FIXTURE_H_

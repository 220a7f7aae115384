// The process-wide database connection pool as the local result set
// (local_data.h) uses it: a script's pooled handle holds a connection
// number, sends each SQL text through Run (a pooled back end copies the
// result into the handle's TagLocalData) and gives the number back with
// Close. Until a pool is installed, the built-in one refuses every open
// with a log line, so a pooled "DbOpen(" fails with -2.
//
// Thread rules: the pool is called from any line thread; an implementation
// guards its own state. SetDbPool is for start-up and tests: the pool
// installed must outlive every call through it.
#ifndef VTTEL_SERVICES_DB_DB_POOL_H_
#define VTTEL_SERVICES_DB_DB_POOL_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace services {

class TagLocalData;

// The four texts of "DbOpen(" after the type.
using DbOpenTexts = std::array<std::string, 4>;

// Results of the pool.
inline constexpr int32_t kDbPoolRefused = -1;        // Open: type not pooled
inline constexpr int32_t kDbPoolBadConnection = -10;  // Run, Close: no such number

class DbPool {
 public:
  virtual ~DbPool() = default;
  // A connection number (>= 0) for the database, or kDbPoolRefused.
  virtual int32_t Open(int32_t type, const DbOpenTexts& texts) = 0;
  // Runs sql on a member of the connection into local: the member's
  // ExecToLocal result, or a negative pool code.
  virtual int32_t Run(int32_t connection, std::string_view sql, TagLocalData& local) = 0;
  // Gives one user of the connection back: the remaining users, or a
  // negative code.
  virtual int32_t Close(int32_t connection) = 0;
};

// The pool in use.
DbPool& GetDbPool();
// Installs pool (nullptr: the built-in refusing one again).
void SetDbPool(DbPool* pool);

}  // namespace services

#endif  // VTTEL_SERVICES_DB_DB_POOL_H_

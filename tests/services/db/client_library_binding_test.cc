// The loaders of the database client libraries: only the init entry point
// is required; any other entry point the library lacks is bound as missing,
// and the statements that need it fail instead of the whole load.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frame/settings.h"
#include "services/db/client_library_binding.h"
#include "services/db/mysql_client.h"
#include "services/db/mysql_data.h"
#include "services/db/wrndb_client.h"
#include "services/db/wrndb_data.h"
#include "tests/test_paths.h"
#include "tests/test_support.h"

namespace services_test {
namespace {

using testing_support::ReadFile;
using testing_support::ScopedChdir;
using testing_support::ScopedEnv;
using testing_support::TempDir;

struct Loader {
  const char* label;
  const char* env;
  const char* init;
  std::function<int32_t()> load;
  std::function<void()> free;
  std::function<bool()> loaded;
};

const Loader kLoaders[] = {
    {"MySQL", "VTTEL_MYSQL_LIB", "mysql_init", &services::LoadMySqlLibrary,
     &services::FreeMySqlLibrary, [] { return services::MySqlLibrary() != nullptr; }},
    {"database server", "VTTEL_WRNDB_LIB", "WrnDbInit", &services::LoadWrnDbLibrary,
     &services::FreeWrnDbLibrary, [] { return services::WrnDbLibrary() != nullptr; }},
};

class ClientLibraryBindingTest : public ::testing::Test {
 protected:
  void SetUp() override { frame::GetSettings().log_level = 2; }
  void TearDown() override { frame::GetSettings().log_level = level_; }
  std::string RawLog() const { return ReadFile(dir_.File("RawLog.txt")).value_or(""); }

  const int32_t level_ = frame::GetSettings().log_level;
  TempDir dir_;
  ScopedChdir cd_{dir_.path()};
};

TEST_F(ClientLibraryBindingTest, OnlyTheInitEntryPointIsRequired) {
  for (const Loader& l : kLoaders) {
    ScopedEnv lib(l.env, VTTEL_CLIENT_ENTRIES_LIB);
    EXPECT_EQ(l.load(), 0) << l.label;
    EXPECT_TRUE(l.loaded()) << l.label;
    l.free();
    EXPECT_FALSE(l.loaded()) << l.label;
  }
  // No entry point but the init one is traced as missing.
  EXPECT_EQ(RawLog().find("GetProcAddress("), std::string::npos) << RawLog();
}

TEST_F(ClientLibraryBindingTest, ALibraryWithoutItsInitEntryPointIsRefused) {
  for (const Loader& l : kLoaders) {
    ScopedEnv lib(l.env, "libm.so.6");
    EXPECT_EQ(l.load(), services::kClientNoEntry) << l.label;
    EXPECT_FALSE(l.loaded()) << l.label;
  }
  const std::string raw = RawLog();
  EXPECT_NE(raw.find("GetProcAddress('mysql_init') : NULL."), std::string::npos) << raw;
  EXPECT_NE(raw.find("GetProcAddress('WrnDbInit') : NULL."), std::string::npos) << raw;
  EXPECT_EQ(raw.find("GetProcAddress('mysql_query')"), std::string::npos) << raw;
  EXPECT_EQ(raw.find("GetProcAddress('WrnDbExec')"), std::string::npos) << raw;
}

// The statements that need a missing entry point fail; those the library
// has (here WrnDbOpen) work.
TEST_F(ClientLibraryBindingTest, StatementsOfMissingEntryPointsFail) {
  ScopedEnv mysql("VTTEL_MYSQL_LIB", VTTEL_CLIENT_ENTRIES_LIB);
  ScopedEnv wrndb("VTTEL_WRNDB_LIB", VTTEL_CLIENT_ENTRIES_LIB);
  ASSERT_EQ(services::LoadMySqlLibrary(), 0);
  ASSERT_EQ(services::LoadWrnDbLibrary(), 0);
  char value[services::kDbValueBytes] = "kept";
  {
    services::TagMySqlData my("127.0.0.1", "u", "p", "mlog");
    EXPECT_EQ(my.state, -1) << "no mysql_real_connect: no connection";
    EXPECT_EQ(my.Exec("select 1"), -1);
    EXPECT_EQ(my.Rows(), 0);
    services::TagWrnDbData wrn("127.0.0.1", 2013, "u", "p", "wlog");
    EXPECT_EQ(wrn.state, 0) << "WrnDbOpen is there";
    EXPECT_LT(wrn.Exec("select 1"), 0);
    EXPECT_EQ(wrn.Rows(), -1);
    EXPECT_EQ(wrn.GetValByIndex(value, 0, 1), services::kWrnDbNoRow);
  }
  services::FreeMySqlLibrary();
  services::FreeWrnDbLibrary();
  const std::string mlog = ReadFile(dir_.File("mlog.log")).value_or("");
  EXPECT_NE(mlog.find(services::kMissingEntryText), std::string::npos) << mlog;
  const std::string wlog = ReadFile(dir_.File("wlog.log")).value_or("");
  EXPECT_NE(wlog.find("WrnDbExec[select 1]: ret=-1"), std::string::npos) << wlog;
}

}  // namespace
}  // namespace services_test

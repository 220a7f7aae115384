// What ./vttel.sh installs for each of its commands: building and running
// the program start no server and install no test tool; the tests, the
// benchmarks and the fuzz targets have everything besides.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/vttel/vttel_fixture.h"

namespace vttel_test {
namespace {

// The packages `./vttel.sh packages command` lists.
std::vector<std::string> PackagesOf(const std::string& command) {
  std::string out;
  EXPECT_EQ(RunToEnd("/bin/bash", {std::string(VTTEL_SOURCE_DIR) + "/vttel.sh", "packages", command},
                     &out),
            0)
      << out;
  std::vector<std::string> list;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) list.push_back(line);
  return list;
}

bool Has(const std::vector<std::string>& list, const std::string& package) {
  return std::find(list.begin(), list.end(), package) != list.end();
}

// Servers (their packages start daemons on Debian), peers and test tools.
const char* const kTestOnly[] = {
    "postgresql", "mariadb-server", "nginx-light", "libgtest-dev", "libbenchmark-dev",
    "libpcre2-dev", "xvfb",        "socat",       "curl",         "freetds-bin",
    "libtiff-tools"};
// What building and running need.
const char* const kProgram[] = {
    "g++",       "cmake",          "qt6-base-dev",    "libasound2-dev", "espeak-ng",
    "unixodbc",  "libsqliteodbc",  "odbc-postgresql", "odbc-mariadb",   "tdsodbc",
    "libsybdb5", "libmariadb3",    "libmariadb-dev",  "libopencc-dev",  "libsamplerate0-dev"};

TEST(SetupScriptTest, RunAndBuildInstallWhatTheProgramNeedsOnly) {
  for (const char* command : {"run", "build", "soak"}) {
    SCOPED_TRACE(command);
    const std::vector<std::string> list = PackagesOf(command);
    for (const char* p : kProgram) EXPECT_TRUE(Has(list, p)) << p;
    for (const char* p : kTestOnly) EXPECT_FALSE(Has(list, p)) << p;
  }
}

TEST(SetupScriptTest, TestBenchAndFuzzInstallEverything) {
  const std::vector<std::string> run = PackagesOf("run");
  for (const char* command : {"test", "bench", "fuzz"}) {
    SCOPED_TRACE(command);
    const std::vector<std::string> list = PackagesOf(command);
    for (const std::string& p : run) EXPECT_TRUE(Has(list, p)) << p;
    for (const char* p : kTestOnly) EXPECT_TRUE(Has(list, p)) << p;
  }
  EXPECT_TRUE(Has(PackagesOf("bench"), "lua5.4"));
  EXPECT_TRUE(Has(PackagesOf("fuzz"), "clang"));
}

}  // namespace
}  // namespace vttel_test

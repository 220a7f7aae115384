// Only platform/ calls the operating system: no other folder of the program
// includes the OS's socket, file-system, process or signal headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

// The folders of the program above the OS layer. Left out: platform/ (the
// OS layer), simboard/ (the simulated board stands for the vendor's board
// and driver, which own their descriptors, UNIX control socket and clock
// thread), and the harnesses that start and watch processes as a user
// would: tests/, fuzz/, bench/.
const char* const kFoldersAbovePlatform[] = {"regex",    "frame", "engine", "telephony", "services",
                                             "board",    "gui",   "vttel",  "tools"};

// An #include of a header of the OS's sockets, files, processes, signals,
// threads or loader.
const std::regex kOsInclude(
    R"(^\s*#\s*include\s*<(sys/(socket|stat|un|wait|resource|mman|file|select|epoll|ioctl)\.h|)"
    R"(netinet/[a-z_]+\.h|arpa/[a-z_]+\.h|netdb\.h|unistd\.h|fcntl\.h|poll\.h|spawn\.h|)"
    R"(dirent\.h|signal\.h|csignal|pthread\.h|dlfcn\.h)>)");

// "path:line: text" of every OS include in the C++ files under folder.
std::vector<std::string> OsIncludesUnder(const fs::path& folder) {
  std::vector<std::string> found;
  if (!fs::is_directory(folder)) return found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cc" && ext != ".h")) continue;
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      if (std::regex_search(line, kOsInclude)) {
        found.push_back(entry.path().string() + ":" + std::to_string(n) + ": " + line);
      }
    }
  }
  return found;
}

TEST(OsHeaders, PatternKnowsTheHeadersAndNothingElse) {
  for (const char* line : {"#include <sys/socket.h>", "#include <netinet/in.h>",
                           "  #  include <unistd.h>", "#include <csignal>", "#include <poll.h>"}) {
    EXPECT_TRUE(std::regex_search(std::string(line), kOsInclude)) << line;
  }
  for (const char* line : {"#include <string>", "#include <sys/types.h>", "// <unistd.h>",
                           "#include \"platform/socket.h\"", "#include <cstdio>"}) {
    EXPECT_FALSE(std::regex_search(std::string(line), kOsInclude)) << line;
  }
}

TEST(OsHeaders, OnlyPlatformIncludesTheOs) {
  const fs::path source(VTTEL_SOURCE_DIR);
  ASSERT_TRUE(fs::is_directory(source / "platform"));
  for (const char* folder : kFoldersAbovePlatform) {
    for (const std::string& hit : OsIncludesUnder(source / folder)) ADD_FAILURE() << hit;
  }
}

}  // namespace
}  // namespace platform

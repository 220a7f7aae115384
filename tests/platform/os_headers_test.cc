// Only platform/ calls the operating system: no other folder of the program
// includes the OS's socket, file-system, process or signal headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
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

// Folders under those that stand outside the program as simboard/ does:
// tools/wrndbapi/ is our stand-in for the maker's database client library,
// which owns its sockets.
const char* const kStandInFolders[] = {"tools/wrndbapi"};

// The headers of the OS's sockets, files, processes, signals, threads and
// loader; and the folders whose every header is one.
const std::set<std::string_view> kOsHeaders = {
    "sys/socket.h", "sys/stat.h", "sys/un.h",    "sys/wait.h",  "sys/resource.h",
    "sys/mman.h",   "sys/file.h", "sys/select.h", "sys/epoll.h", "sys/ioctl.h",
    "netdb.h",      "unistd.h",   "fcntl.h",     "poll.h",      "spawn.h",
    "dirent.h",     "signal.h",   "csignal",     "pthread.h",   "dlfcn.h"};
const std::string_view kOsHeaderFolders[] = {"netinet/", "arpa/"};

// True for an #include of one of those headers.
bool IncludesOsHeader(std::string_view line) {
  auto skip_blanks = [&] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skip_blanks();
  if (line.empty() || line.front() != '#') return false;
  line.remove_prefix(1);
  skip_blanks();
  if (line.substr(0, 7) != "include") return false;
  line.remove_prefix(7);
  skip_blanks();
  if (line.empty() || line.front() != '<') return false;
  const size_t close = line.find('>');
  if (close == std::string_view::npos) return false;
  const std::string_view name = line.substr(1, close - 1);
  if (kOsHeaders.count(name) != 0) return true;
  for (std::string_view folder : kOsHeaderFolders) {
    if (name.substr(0, folder.size()) == folder) return true;
  }
  return false;
}

// "path:line: text" of every OS include in the C++ files under folder.
std::vector<std::string> OsIncludesUnder(const fs::path& folder) {
  std::vector<std::string> found;
  if (!fs::is_directory(folder)) return found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cc" && ext != ".h")) continue;
    bool stand_in = false;
    for (const char* s : kStandInFolders) {
      stand_in |= entry.path().string().find(std::string("/") + s + "/") != std::string::npos;
    }
    if (stand_in) continue;
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      if (IncludesOsHeader(line)) {
        found.push_back(entry.path().string() + ":" + std::to_string(n) + ": " + line);
      }
    }
  }
  return found;
}

TEST(OsHeaders, PatternKnowsTheHeadersAndNothingElse) {
  for (const char* line : {"#include <sys/socket.h>", "#include <netinet/in.h>",
                           "  #  include <unistd.h>", "#include <csignal>", "#include <poll.h>",
                           "#include <arpa/inet.h>"}) {
    EXPECT_TRUE(IncludesOsHeader(line)) << line;
  }
  for (const char* line : {"#include <string>", "#include <sys/types.h>", "// <unistd.h>",
                           "#include \"platform/socket.h\"", "#include <cstdio>"}) {
    EXPECT_FALSE(IncludesOsHeader(line)) << line;
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

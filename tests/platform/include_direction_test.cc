// Includes point one way: each layer, and each folder of the services
// layer, includes only the folders below it and its own. The six services
// folders include none of each other and never their root, which includes
// them; the services files include each other without a cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

// A folder of the program and the folders its files may include. The
// longest folder that holds a file (or an included header) is its unit.
// The programs (vttel/, tools/) sit above every layer and are left out.
struct Unit {
  const char* folder;
  std::vector<std::string_view> may_include;
};

// The layers below services, then the folders given.
std::vector<std::string_view> BelowServices(std::initializer_list<std::string_view> own) {
  std::vector<std::string_view> folders = {"platform", "regex", "frame", "engine"};
  folders.insert(folders.end(), own.begin(), own.end());
  return folders;
}

const std::vector<Unit>& Units() {
  static const std::vector<Unit> units = {
      {"platform", {"platform"}},
      {"regex", {"platform", "regex"}},
      {"frame", {"platform", "frame"}},
      {"board", {"board"}},
      {"engine", {"platform", "frame", "engine"}},
      {"telephony", {"platform", "frame", "engine", "board", "telephony"}},
      {"services",
       BelowServices({"services", "services/text", "services/files", "services/net",
                      "services/db", "services/interline", "services/extcall"})},
      {"services/text", BelowServices({"services/text"})},
      {"services/files", BelowServices({"services/files"})},
      {"services/net", BelowServices({"services/net"})},
      {"services/db", BelowServices({"services/db", "include"})},
      {"services/interline", BelowServices({"services/interline"})},
      {"services/extcall", BelowServices({"services/extcall", "include"})},
      {"simboard", {"platform", "board", "simboard"}},
      {"gui", {"platform", "frame", "engine", "gui"}},
  };
  return units;
}

// Folders an include may name besides the units: the public C headers, the
// programs and the tests (no unit may include the last two).
const std::string_view kOtherFolders[] = {"include", "vttel", "tools", "tests"};

// The unit of a path relative to the source root ("services/net/x.h"), or
// "" for a path outside every unit and known folder.
std::string UnitOf(std::string_view path) {
  std::string best;
  auto consider = [&](std::string_view folder) {
    if (path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
        path[folder.size()] == '/' && folder.size() > best.size()) {
      best = std::string(folder);
    }
  };
  for (const Unit& u : Units()) consider(u.folder);
  for (std::string_view f : kOtherFolders) consider(f);
  return best;
}

const Unit* FindUnit(std::string_view folder) {
  for (const Unit& u : Units()) {
    if (folder == u.folder) return &u;
  }
  return nullptr;
}

// The header a line includes with quotes, or "".
std::string_view QuotedInclude(std::string_view line) {
  auto skip_blanks = [&] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skip_blanks();
  if (line.empty() || line.front() != '#') return {};
  line.remove_prefix(1);
  skip_blanks();
  if (line.substr(0, 7) != "include") return {};
  line.remove_prefix(7);
  skip_blanks();
  if (line.empty() || line.front() != '"') return {};
  const size_t close = line.find('"', 1);
  return close == std::string_view::npos ? std::string_view() : line.substr(1, close - 1);
}

// Whether a file of unit `from` may include `header`.
bool MayInclude(const std::string& from, std::string_view header) {
  const std::string to = UnitOf(header);
  if (to.empty()) return true;  // not one of the program's folders
  const Unit* unit = FindUnit(from);
  if (unit == nullptr) return true;
  return std::find(unit->may_include.begin(), unit->may_include.end(), to) !=
         unit->may_include.end();
}

// The C++ files under folder, relative to the source root.
std::vector<std::string> SourcesUnder(const fs::path& root, const char* folder) {
  std::vector<std::string> files;
  if (!fs::is_directory(root / folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
    const std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".cc" || ext == ".h")) {
      files.push_back(fs::relative(entry.path(), root).string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Calls f(header, line number, line) for each quoted include of a file.
void ForEachInclude(const fs::path& file,
                    const std::function<void(std::string_view, int, const std::string&)>& f) {
  std::ifstream in(file);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    const std::string_view header = QuotedInclude(line);
    if (!header.empty()) f(header, n, line);
  }
}

TEST(IncludeDirection, UnitsOfPathsAndWhatTheyMayInclude) {
  struct Case {
    const char* file;
    const char* line;
    bool allowed;
  };
  const Case cases[] = {
      {"services/net/http_client.cc", "#include \"services/net/connect.h\"", true},
      {"services/net/http_client.cc", "#include \"engine/tel_basic.h\"", true},
      {"services/net/http_client.cc", "#include <string>", true},
      {"services/db/syb.cc", "#include \"services/text/calendar.h\"", false},
      {"services/db/syb.cc", "  #  include \"services/process_stores.h\"", false},
      {"services/db/wrndb_client.h", "#include \"include/wrndbapi.h\"", true},
      {"services/text/calendar.cc", "#include \"include/wrndbapi.h\"", false},
      {"services/process_stores.cc", "#include \"services/db/db_connection_pool.h\"", true},
      {"services/service_statements.cc", "#include \"telephony/vt_call.h\"", false},
      {"engine/tel_basic.h", "#include \"services/db/data_set.h\"", false},
      {"telephony/voice/voc_cache.h", "#include \"telephony/line_settings.h\"", true},
      {"frame/log.cc", "#include \"tests/test_support.h\"", false},
      {"platform/clock.cc", "// #include \"frame/log.h\"", true},
  };
  for (const Case& c : cases) {
    const std::string_view header = QuotedInclude(c.line);
    EXPECT_EQ(header.empty() || MayInclude(UnitOf(c.file), header), c.allowed)
        << c.file << ": " << c.line;
  }
}

TEST(IncludeDirection, TheTableIsOneWay) {
  // The units have an order: taking, again and again, the units whose
  // includes are all taken takes every unit; one left over is in a cycle.
  std::set<std::string> taken = {"include"};
  for (bool progress = true; progress;) {
    progress = false;
    for (const Unit& u : Units()) {
      if (taken.count(u.folder) != 0) continue;
      const bool ready = std::all_of(u.may_include.begin(), u.may_include.end(),
                                     [&](std::string_view f) {
                                       return f == u.folder || taken.count(std::string(f)) != 0;
                                     });
      if (ready) {
        taken.insert(u.folder);
        progress = true;
      }
    }
  }
  for (const Unit& u : Units()) EXPECT_EQ(taken.count(u.folder), 1u) << u.folder << " is in a cycle";
}

TEST(IncludeDirection, EveryUnitIncludesOnlyWhatItMay) {
  const fs::path root(VTTEL_SOURCE_DIR);
  ASSERT_TRUE(fs::is_directory(root / "services" / "net"));
  for (const Unit& u : Units()) {
    for (const std::string& file : SourcesUnder(root, u.folder)) {
      const std::string from = UnitOf(file);
      if (from != u.folder) continue;  // a file of a unit inside this one
      ForEachInclude(root / file, [&](std::string_view header, int n, const std::string& line) {
        if (!MayInclude(from, header)) ADD_FAILURE() << file << ":" << n << ": " << line;
      });
    }
  }
}

TEST(IncludeDirection, ServicesFilesIncludeEachOtherWithoutACycle) {
  // A unit here is a header with its source file (the path without the
  // extension).
  const fs::path root(VTTEL_SOURCE_DIR);
  auto stem = [](std::string_view path) { return std::string(path.substr(0, path.rfind('.'))); };
  std::map<std::string, std::set<std::string>> edges;
  for (const std::string& file : SourcesUnder(root, "services")) {
    std::set<std::string>& out = edges[stem(file)];
    ForEachInclude(root / file, [&](std::string_view header, int, const std::string&) {
      if (header.substr(0, 9) == "services/" && stem(header) != stem(file)) {
        out.insert(stem(header));
      }
    });
  }
  // Depth-first: a unit met again while it is on the path closes a cycle.
  std::map<std::string, int> state;  // 1 on the path, 2 done
  std::vector<std::string> path;
  std::function<void(const std::string&)> visit = [&](const std::string& u) {
    state[u] = 1;
    path.push_back(u);
    for (const std::string& v : edges[u]) {
      if (state[v] == 1) {
        std::string cycle;
        for (auto it = std::find(path.begin(), path.end(), v); it != path.end(); ++it) {
          cycle += *it + " -> ";
        }
        ADD_FAILURE() << "include cycle: " << cycle << v;
      } else if (state[v] == 0) {
        visit(v);
      }
    }
    path.pop_back();
    state[u] = 2;
  };
  ASSERT_GT(edges.size(), 50u);
  for (const auto& [u, out] : edges) {
    if (state[u] == 0) visit(u);
  }
}

}  // namespace
}  // namespace platform

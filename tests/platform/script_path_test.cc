// The reverse path map: host paths handed back to scripts in the Windows
// form under a mapped drive, else as they are, in GBK.
#include <string>

#include <gtest/gtest.h>

#include "platform/host_path.h"
#include "tests/test_support.h"

namespace platform {
namespace {

std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

TEST(ScriptPath, MappedFoldersGiveDriveLettersOthersStayHostPaths) {
  testing_support::ScopedEnv drives("VTTEL_DRIVES",
                                    " c=/srv/vttel/ ; D=/srv/vttel/voc;E=/;bad;c=/other");
  struct Case {
    std::string host;
    std::string script;
  };
  const Case cases[] = {
      {"/srv/vttel", "C:\\"},
      {"/srv/vttel/a/b.txt", "C:\\a\\b.txt"},
      {"/srv/vttel/voc/x", "D:\\x"},  // the longest folder wins
      {"/srv/vttelx/y", "E:\\srv\\vttelx\\y"},
      {"/other/z", "E:\\other\\z"},  // the later entry of C is ignored
      {U8(u8"/srv/vttel/乗/文.txt"), "C:\\乗\\文.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToScriptPath(c.host), c.script) << c.host;
  testing_support::ScopedEnv none("VTTEL_DRIVES", std::nullopt);
  EXPECT_EQ(ToScriptPath("/srv/vttel/a"), "/srv/vttel/a");
  EXPECT_EQ(ToScriptPath(U8(u8"/tmp/乗")), "/tmp/乗");
}

}  // namespace
}  // namespace platform

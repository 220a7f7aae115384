// Eight lines load, bind, call and free one library at the same time.
#include <gtest/gtest.h>

#include <string>

#include "services/extcall/dll_libraries.h"
#include "tests/services/extcall/extcall_lines.h"

namespace services_test {
namespace {

class ExtcallConcurrencyTest : public ExtcallLines {};

TEST_F(ExtcallConcurrencyTest, EightLinesShareOneLibrary) {
  constexpr int kLines = 8;
  const size_t libraries = services::GlobalDlls().size();
  const std::string script =
      "h = 0\nr = 0\nok = 0\ni = 0\n"
      "while(i < 40)\n{\n"
      "DllLoad(\"testlib.dll\", h)\n"
      "DllFunction(h, \"nothing\", 4)\n"
      "r = nothing(1, 2, i, \"x\")\n"
      "if(r == 4)\n{\nok = ok + 1\n}\n"
      "DllFree(h)\n"
      "i = i + 1\n}\n"
      "return(0)\n";
  for (int i = 0; i < kLines; ++i) AddLine(script);
  RunAll();
  for (auto& s : scripts_) EXPECT_EQ(IntOf(s.get(), "ok"), 40);
  EXPECT_EQ(services::GlobalDlls().size(), libraries);
}

}  // namespace
}  // namespace services_test

// The shared-memory statements in scripts on lines: line addressing, the
// results of each statement, claiming with "FindShareMem(", and maps kept
// in the process-wide store across a reload.
#include <gtest/gtest.h>

#include <string>

#include "engine/map_table.h"
#include "services/interline/share_mem.h"
#include "tests/engine/values.h"
#include "tests/telephony/message_lines.h"

namespace telephony {
namespace {

using engine::Int;
using engine::Str;

class ShareMemStatementsTest : public LinesTest<8> {
 protected:
  ShareMemStatementsTest() { services::ProcessShareMem().Clear(); }
  ~ShareMemStatementsTest() override { services::ProcessShareMem().Clear(); }

  // Compiles "v = "keep"", then text and a return, as line n's script and runs it.
  ScriptOnLine& Run(int32_t n, const std::string& text) {
    ScriptOnLine& line = Line(n, "v = \"keep\"\nold = 0\n" + text + "\nreturn(0)\n");
    EXPECT_TRUE(line.compiled()) << line.Errors();
    line.RunHere();
    EXPECT_EQ(line.script().runError, "");
    return line;
  }
  services::TagShareMem& StoreOf(int32_t n) {
    return *static_cast<services::TagShareMem*>(
        lines_[static_cast<size_t>(n)]->script().store(engine::StoreSlot::kShareMem));
  }
  std::string Entry(services::TagShareMem& store, const engine::TagVar& key) {
    engine::TagVar out = Str("(absent)");
    store.Get(key, out);
    return out.ToText();
  }
};

TEST_F(ShareMemStatementsTest, ProcessStoreStatementsInTurn) {
  struct Case {
    std::string statement;
    int32_t result;
    std::string v;  // the out value afterwards
  };
  const Case cases[] = {
      {"SetShareMem(-1, \"a\", 1)", 1, "keep"},
      {"SetShareMem(-1, \"b\", 2)", 2, "keep"},   // a second key of the kind
      {"SetShareMem(-1, 7, 2)", 1, "keep"},       // another kind: its own map
      {"SetShareMem(-5, \"a\", 9)", 2, "keep"},   // any negative line, same store
      {"IncShareMem(-1, 99, 2, v)", -1, "keep"},  // never set
      {"GetShareMem(-1, 99, v)", -1, "keep"},     // and not made by Inc
      {"SetShareMem(-1, 5, 5)", 2, "keep"},
      {"IncShareMem(-1, 5, 2, v)", 0, "7"},
      {"GetShareMem(-1, 5, v)", 2, "7"},
      {"DecShareMem(-1, 5, 3, v)", 0, "4"},
      {"SetShareMem(-1, \"s\", \"ab\")", 3, "keep"},
      {"IncShareMem(-1, \"s\", \"c\", v)", 0, "abc"},
      {"SetShareMem(-1, \"1\", \"text\")", 4, "keep"},
      {"GetShareMem(-1, 1, v)", -1, "keep"},      // the integer 1 is not "1"
      {"GetShareMem(-1, 1.0, v)", -1, "keep"},
      {"AccShareMem(-1, 5, v, 40)", 2, "4"},
      {"GetShareMem(-1, 5, v)", 2, "40"},
      {"AccShareMem(-1, 6, v, 40)", -1, "keep"},
      {"GetShareMem(-1, \"a\", v)", 4, "9"},
  };
  for (const Case& c : cases) {
    ScriptOnLine& line = Run(0, "r = " + c.statement);
    EXPECT_EQ(line.Int("r"), c.result) << c.statement;
    EXPECT_EQ(line.Text("v"), c.v) << c.statement;
  }
  EXPECT_EQ(Run(0, "r = ClearShareMem(-1)\nr2 = GetShareMem(-1, \"a\", v)").Int("r2"), -1);
}

TEST_F(ShareMemStatementsTest, LineAddressing) {
  Line(1, "x = 1\nUnknownWord(\n");  // does not compile
  ASSERT_NE(lines_[1]->script().initResult, 0);
  Line(2, "return(0)\n");
  Unplug(2);  // a line without a script
  Line(3, "return(0)\n");
  StoreOf(3).Set(Int(1), Int(33));
  const struct {
    std::string statement;
    int32_t result;
  } cases[] = {
      {"ClearShareMem(8)", -2},  // the line count
      {"ClearShareMem(1)", -2},  // failed compile
      {"SetShareMem(2, 1, 1)", -2},
      {"GetShareMem(9, 1, v)", -2},
      {"GetShareMem(3, 1, v)", 1},  // another line's store
      {"SetShareMem(_lineNo, 1, 1)", 1},
      {"ClearShareMem(3)", 0},
      {"GetShareMem(3, 1, v)", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(0, "r = " + c.statement).Int("r"), c.result) << c.statement;
  }
}

TEST_F(ShareMemStatementsTest, FindClaimsTheFirstLineHoldingTheValue) {
  for (int32_t n = 0; n < kLines; ++n) Line(n, "return(0)\n");
  Unplug(5);
  for (int32_t n : {3, 5, 7}) StoreOf(n).Set(Str("state"), Str("free"));
  StoreOf(4).Set(Str("state"), Str("busy"));
  services::ProcessShareMem().Set(Str("state"), Str("free"));  // never searched
  ScriptOnLine& line = Run(0,
                           "r1 = FindShareMem(\"state\", \"free\", \"first\")\n"
                           "r2 = FindShareMem(\"state\", \"free\", \"second\")\n"
                           "r3 = FindShareMem(\"state\", \"free\", \"third\")\n");
  EXPECT_EQ(line.Int("r1"), 3);
  EXPECT_EQ(line.Int("r2"), 7);
  EXPECT_EQ(line.Int("r3"), -1);  // line 5 has no script on the table
  EXPECT_EQ(Entry(StoreOf(3), Str("state")), "first");
  EXPECT_EQ(Entry(StoreOf(4), Str("state")), "busy");
  EXPECT_EQ(Entry(StoreOf(7), Str("state")), "second");
  EXPECT_EQ(Entry(services::ProcessShareMem(), Str("state")), "free");
}

TEST_F(ShareMemStatementsTest, ProcessStoreKeepsAMapAcrossAReload) {
  const size_t maps = engine::MapTable().LiveMaps();
  Run(1, "m[1] = 5\nSetShareMem(-1, \"map\", m)\nSetShareMem(_lineNo, \"map\", m)");
  Line(1, "return(0)\n");  // the reload frees the line's store
  ScriptOnLine& reader = Run(0, "x = 0\nw[0] = 0\nr = GetShareMem(-1, \"map\", w)\nx = w[1];\nw = 0");
  EXPECT_EQ(reader.Int("x"), 5);
  EXPECT_EQ(engine::MapTable().LiveMaps(), maps + 1);
  Run(0, "ClearShareMem(-1)");
  EXPECT_EQ(engine::MapTable().LiveMaps(), maps);
}

}  // namespace
}  // namespace telephony

// The fax statements on lines of the simulated board and on a virtual
// line: a page made by "Txt2FaxFile(" is sent on an E1 line, a fax
// injected by the far end is received on a phone port, and the resource
// counts and failures reach the script.
#include "telephony/statements/fax_statements.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/keyword_table.h"
#include "engine/statement_registry.h"
#include "telephony/board/vir_card.h"
#include "telephony/statements/telephony_statements.h"
#include "tests/telephony/analog_lines_fixture.h"
#include "tests/telephony/fax_fixture.h"
#include "tests/telephony/script_on_line.h"
#include "tests/telephony/tup_call_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr int kWaitMs = 10000;
const char kFaxIni[] = "FaxResources=2\nFaxMs=50\n";

class FaxStatementsTest : public ::testing::Test {
 protected:
  FaxStatementsTest() { RegisterTelephonyStatements(); }

  // A script line that converts "page.txt" of the scratch folder into fax.
  std::string Txt2Fax(const std::string& fax) const {
    return "c = Txt2FaxFile(\"" + scratch_.File("page.txt") + "\", \"" + fax + "\", \"" +
           fonts_.path() + "\")\n";
  }

  testing_support::TempDir scratch_;
  testing_support::ScopedChdir chdir_{scratch_.path()};
  FaxFolder fonts_;
};

TEST_F(FaxStatementsTest, EveryFaxKeywordHasItsStatement) {
  EXPECT_EQ(engine::Statements().Missing(engine::StatementFamily::kFax), std::vector<int>{});
}

TEST_F(FaxStatementsTest, VirtualLineHasNoFaxResourcesButConvertsText) {
  TagVirCard card(2, 0);
  std::unique_ptr<TagVtCall> call = card.CreateLineCall(1, 2);
  WriteFile(scratch_.File("page.txt"), "virtual\n");
  const std::string fax = scratch_.File("v.tif");
  ScriptOnLine script("t = 5\nb = 7\ng = GetFaxResource(t, b)\n" + Txt2Fax(fax) +
                          "m = Txt2FaxFile(\"missing.txt\", \"m.tif\", \"" + fonts_.path() +
                          "\")\nn = Txt2FaxFile(\"page.txt\", \"n.tif\", \"no such dir\")\n"
                          "s = Txt2FaxFile(\"page.txt\", \"page.txt\", \"" + fonts_.path() +
                          "\")\nreturn(1)\n",
                      *call, "virtual.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.RunHere();
  EXPECT_EQ(script.Int("g"), 0);
  EXPECT_EQ(script.Int("t"), 0);
  EXPECT_EQ(script.Int("b"), 0);
  EXPECT_EQ(script.Int("c"), 0);
  EXPECT_EQ(DecodeTiff(fax).length, 17u);
  EXPECT_EQ(script.Int("m"), -3);
  EXPECT_EQ(script.Int("n"), -1);
  EXPECT_EQ(script.Int("s"), -3) << "the fax file is the text";
  EXPECT_EQ(ReadFile(scratch_.File("page.txt")).value_or(""), "virtual\n");
}

TEST_F(FaxStatementsTest, PageMadeByTxt2FaxFileIsSentOnAnE1Line) {
  AnalogLines lines(kFaxIni);
  WriteFile(scratch_.File("page.txt"), "\xB4\xAB\xD5\xE6 fax page\n");
  const std::string fax = scratch_.File("page.tif");
  ASSERT_EQ(lines.far().Call("E3", "13900000000", "8001"), "OK");
  ScriptOnLine script("w = WaitRing(1)\nSetFaxLocalId(\"8001\")\n" + Txt2Fax(fax) +
                          "t = 0\nb = 0\ng = GetFaxResource(t, b)\ns = SendFax(\"" + fax +
                          "\")\nreturn(1)\n",
                      lines[AnalogLines::kE1], "send.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.Start();
  ASSERT_TRUE(script.Wait(kWaitMs).has_value());
  EXPECT_EQ(script.Int("w"), 0);
  EXPECT_EQ(script.Int("c"), 0);
  EXPECT_EQ(script.Int("t"), 2);
  EXPECT_EQ(script.Int("b"), 0);
  EXPECT_EQ(script.Int("s"), 1);
  EXPECT_EQ(EventArgs(lines.far().Wait("FAX", "E3", kWaitMs)), "send " + fax + " 1");
  EXPECT_EQ(DecodeTiff(fax).length, 17u);
}

TEST_F(FaxStatementsTest, PhonePortReceivesAnInjectedFaxByteForByte) {
  AnalogLines lines(kFaxIni);
  std::string document = "II*";
  for (int i = 0; i < 3000; ++i) document += static_cast<char>(i * 7);
  WriteFile(lines.File("doc.tif"), document);
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  ASSERT_EQ(lines.far().Inject("A0", "doc.tif"), "OK");
  const std::string fax = scratch_.File("in.tif");
  ScriptOnLine script("r = RecvFax(\"" + fax + "\")\nreturn(1)\n", lines[AnalogLines::kPhone],
                      "recv.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.Start();
  ASSERT_TRUE(script.Wait(kWaitMs).has_value());
  EXPECT_EQ(script.Int("r"), 1);
  EXPECT_EQ(ReadFile(fax), document);
}

TEST_F(FaxStatementsTest, WithoutFaxResourcesSendFaxFails) {
  AnalogLines lines("FaxResources=0\n");
  WriteFile(scratch_.File("page.txt"), "x");
  ASSERT_EQ(lines.far().Lift("A0"), "OK");
  ScriptOnLine script(Txt2Fax("p.g3") + "s = SendFax(\"p.g3\")\nreturn(1)\n",
                      lines[AnalogLines::kPhone], "none.vts");
  ASSERT_TRUE(script.compiled()) << script.Errors();
  script.Start();
  ASSERT_TRUE(script.Wait(kWaitMs).has_value());
  EXPECT_EQ(script.Int("c"), 0);
  EXPECT_EQ(script.Int("s"), -1);
}

}  // namespace
}  // namespace telephony

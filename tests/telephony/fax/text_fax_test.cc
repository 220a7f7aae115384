// The text-to-fax conversion against libtiff and its tools: the decoded
// page equals the bitmap of the glyphs the test places, the headers of
// both file forms hold their fields, and bad tables, fonts and texts are
// refused with their statuses.
#include "telephony/fax/text_fax.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "telephony/fax/cvt_fax.h"
#include "tests/telephony/fax_fixture.h"
#include "tests/telephony/voice_scratch_fixture.h"

namespace telephony {
namespace {

using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::WriteFile;

// Bits in sending order ("0101...") packed lowest bit first.
std::string PackBits(const std::string& bits) {
  std::string bytes((bits.size() + 7) / 8, '\0');
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') bytes[i / 8] = static_cast<char>(bytes[i / 8] | (1 << (i % 8)));
  }
  return bytes;
}

class TextFaxTest : public VoiceScratchTest {
 protected:
  // Converts text (written to "in.txt") into fax; the status.
  int Convert(const std::string& text, const std::string& fax = "out.tif") {
    WriteFile("in.txt", text);
    return TagTxtCvtFax(fonts_.path(), "in.txt", fax).status();
  }
  // The page libtiff decodes from a TIFF fax file, with no error.
  std::vector<FaxRow> Decoded(const std::string& fax = "out.tif") {
    const DecodedFax d = DecodeTiff(fax);
    EXPECT_TRUE(d.opened) << d.errors;
    EXPECT_EQ(d.errors, "");
    EXPECT_EQ(d.width, 1728u);
    EXPECT_EQ(d.rows.size(), d.length);
    return d.rows;
  }
  void ExpectPage(const std::string& text, const ExpectedPage& want) {
    ASSERT_EQ(Convert(text), 0);
    EXPECT_EQ(FirstDifference(Decoded(), want.rows()), "");
  }
  std::string Fonts(const std::string& name) const { return fonts_.File(name); }

  FaxFolder fonts_;
};

TEST_F(TextFaxTest, OneLetterGivesSeventeenScanLinesWithTheGlyphAtPixel120) {
  ASSERT_EQ(Convert("A"), 0);
  const std::vector<FaxRow> rows = Decoded();
  ASSERT_EQ(rows.size(), 17u);
  for (size_t r = 0; r < rows.size(); ++r) {
    int first = -1, last = -1;
    for (int px = 0; px < kPagePixels; ++px) {
      if (rows[r][px / 8] & (0x80 >> (px % 8))) {
        if (first < 0) first = px;
        last = px;
      }
    }
    if (r < 16) {
      EXPECT_EQ(first, 120) << r;
      EXPECT_EQ(last, 135) << r;
    } else {
      EXPECT_EQ(first, -1);
    }
  }
  ExpectedPage want;
  want.NewTextLine();
  want.Narrow(120, 'A');
  EXPECT_EQ(FirstDifference(rows, want.rows()), "");
}

TEST_F(TextFaxTest, ChineseMixedAndTabbedLinesLandWhereTheyShould) {
  // "中文" (GBK D6D0 CEC4); "a中b"; a TAB is four blanks; CR LF ends a line.
  ExpectedPage want;
  want.NewTextLine();
  want.Wide(120, GbCell(0xD6, 0xD0));
  want.Wide(152, GbCell(0xCE, 0xC4));
  want.NewTextLine();
  want.Narrow(120, 'a');
  want.Wide(136, GbCell(0xD6, 0xD0));
  want.Narrow(168, 'b');
  want.NewTextLine();
  int x = want.Text(40, std::string(9, ' '));
  want.Text(x, "x");
  ExpectPage("\xD6\xD0\xCE\xC4\r\na\xD6\xD0" "b\n\tx\n", want);
}

TEST_F(TextFaxTest, PagesOfEveryGlyphWidthDecodeWithoutLoss) {
  // Every byte value from 0x20 on, runs of every length and both make-up
  // code ranges: the encoder's tables against libtiff's decoder.
  std::string text;
  ExpectedPage want;
  for (int start = 0x20; start <= 0xA0; start += 40) {
    std::string line;
    for (int c = start; c < start + 40 && c <= 0xA0; ++c) line += static_cast<char>(c);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) continue;
    text += line + "\n";
    want.NewTextLine();
    want.Text(40, "     " + line);
  }
  ExpectPage(text, want);
}

TEST_F(TextFaxTest, LongLinesAreCutAtTheEdgeOrGoOnAsTheNextTextLine) {
  // 110 letters: the page ends inside the 101st.
  ExpectedPage cut;
  cut.NewTextLine();
  cut.Text(40, "     " + std::string(110, 'k'));
  ExpectPage(std::string(110, 'k'), cut);
  // 300 bytes: 215 on the first text line, the rest on the second.
  ExpectedPage wrapped;
  wrapped.NewTextLine();
  wrapped.Text(40, "     " + std::string(215, 'b'));
  wrapped.NewTextLine();
  wrapped.Text(40, "     " + std::string(85, 'b'));
  ExpectPage(std::string(300, 'b') + "\n", wrapped);
}

TEST_F(TextFaxTest, EncodingIsDecidedByTheFirst80Bytes) {
  // 0x85 early: an "other" text, refused without a fax file.
  EXPECT_EQ(Convert("ab\x85" "cd"), -3);
  EXPECT_FALSE(testing_support::FileExists("out.tif"));
  // The same byte after the first 80 bytes is a single-byte glyph.
  const std::string line = std::string(90, 'x') + "\x85";
  ExpectedPage want;
  want.NewTextLine();
  want.Text(40, "     " + line);
  ExpectPage(line, want);
  std::filesystem::remove("out.tif");
  // UTF-8 with its mark, and without it (bytes 0x80..0x9F): refused.
  EXPECT_EQ(Convert("\xEF\xBB\xBFok"), -3);
  EXPECT_EQ(Convert(platform::GbkToUtf8("\xD6\xD0\xCE\xC4")), -3);
  EXPECT_FALSE(testing_support::FileExists("out.tif"));
}

TEST_F(TextFaxTest, Utf16TextDrawsLikeItsGbkTwinAndLeavesNoTemporaryFile) {
  const std::string gbk = "\xD6\xD0\xCE\xC4 fax\r\nline 2\n";
  ASSERT_EQ(Convert(gbk, "gbk.tif"), 0);
  const std::u16string units = platform::ToUtf16(platform::CodePage::kGbk, gbk);
  std::string utf16 = "\xFF\xFE";
  for (char16_t u : units) {
    utf16 += static_cast<char>(u & 0xFF);
    utf16 += static_cast<char>(u >> 8);
  }
  WriteFile("in.txt.tmp", "a user's file");
  ASSERT_EQ(Convert(utf16, "utf16.tif"), 0);
  EXPECT_EQ(ReadFile("utf16.tif"), ReadFile("gbk.tif"));
  EXPECT_EQ(ReadFile("in.txt.tmp"), "a user's file");
  std::filesystem::remove("in.txt.tmp");
  ASSERT_EQ(Convert(utf16, "utf16.tif"), 0);
  EXPECT_FALSE(testing_support::FileExists("in.txt.tmp"));
}

TEST_F(TextFaxTest, Big5LineIsDrawnAsSimplifiedGbkWithTheBig5Font) {
  // "會" in Big5 (B7 7C) is "会" in GBK (BB E1); "hzk16f" draws it.
  ExpectedPage plain;
  plain.NewTextLine();
  plain.Wide(120, GbCell(0xBB, 0xE1));
  ExpectPage("\xB7\x7C", plain);
  WriteFile(Fonts("hzk16f"), WideFont(1));
  ExpectedPage big5;
  big5.NewTextLine();
  big5.Wide(120, GbCell(0xBB, 0xE1), 1);
  ExpectPage("\xB7\x7C", big5);
  // A GB2312 line still takes "hzk16".
  ExpectedPage gb;
  gb.NewTextLine();
  gb.Wide(120, GbCell(0xBB, 0xE1));
  ExpectPage("\xBB\xE1", gb);
}

TEST_F(TextFaxTest, NameChoosesTiffOrTheRawForm) {
  struct Case {
    const char* name;
    bool tiff;
  };
  for (const Case& c : {Case{"fax.tif", true}, Case{"FAX.TIFF", true}, Case{"a.tif.old", true},
                        Case{"fax.g3", false}}) {
    ASSERT_EQ(Convert("x", c.name), 0) << c.name;
    const std::string file = ReadFile(c.name).value_or("");
    EXPECT_EQ(file.substr(0, 8), c.tiff ? std::string("II*\0\x18\0\0\0", 8) : "BIT  FAX")
        << c.name;
  }
}

TEST_F(TextFaxTest, TiffHeaderHoldsTheClassFFieldsForLibtiffAndItsTools) {
  ASSERT_EQ(Convert("A\nB\n"), 0);
  const std::string file = ReadFile("out.tif").value_or("");
  ASSERT_GT(file.size(), 238u);
  EXPECT_EQ(file.substr(0, 24), std::string("II*\0\x18\0\0\0\xCC\0\0\0\1\0\0\0\xC4\0\0\0\1\0\0\0", 24));
  EXPECT_EQ(Le16At(file, 24), 16);
  EXPECT_EQ(Le32At(file, 218), 0u);
  EXPECT_EQ(file.substr(222, 16), file.substr(8, 16));
  EXPECT_EQ(file.substr(238, 2), std::string("\0\x80", 2));
  EXPECT_EQ(file.substr(file.size() - 9), std::string("\0\x08\x80\0\x08\x80\0\x08\x80", 9));

  // tiffdump lists the 16 entries in order with their values.
  testing_support::SpawnedProgram dump;
  ASSERT_TRUE(dump.Start("/usr/bin/tiffdump", {"out.tif"}));
  ASSERT_EQ(dump.Wait(10000), 0);
  const std::string length = std::to_string(file.size() - 238);
  const std::vector<std::string> entries = {
      "SubFileType (254) LONG (4) 1<2>",     "ImageWidth (256) LONG (4) 1<1728>",
      "ImageLength (257) LONG (4) 1<34>",       "BitsPerSample (258) SHORT (3) 1<1>",
      "Compression (259) SHORT (3) 1<3>",       "Photometric (262) SHORT (3) 1<0>",
      "FillOrder (266) SHORT (3) 1<2>",         "StripOffsets (273) LONG (4) 1<238>",
      "SamplesPerPixel (277) SHORT (3) 1<1>",   "RowsPerStrip (278) LONG (4) 1<34>",
      "StripByteCounts (279) LONG (4) 1<" + length + ">",
      "XResolution (282) RATIONAL (5) 1<204>",  "YResolution (283) RATIONAL (5) 1<196>",
      "Group3Options (292) LONG (4) 1<4>",      "ResolutionUnit (296) SHORT (3) 1<2>",
      "PageNumber (297) SHORT (3) 2<1 0>"};
  size_t at = 0;
  for (const std::string& entry : entries) {
    const size_t found = dump.stdout_text().find(entry, at);
    EXPECT_NE(found, std::string::npos) << entry << "\n" << dump.stdout_text();
    if (found != std::string::npos) at = found;
  }

  // tiffinfo decodes the strip and finds nothing wrong.
  testing_support::SpawnedProgram info;
  ASSERT_TRUE(info.Start("/usr/bin/tiffinfo", {"-D", "out.tif"}));
  ASSERT_EQ(info.Wait(10000), 0);
  EXPECT_EQ(info.stderr_text(), "");
  EXPECT_EQ(info.stdout_text().find("rror"), std::string::npos) << info.stdout_text();
}

TEST_F(TextFaxTest, RawFormDecodedByFax2TiffGivesTheRowsAndTheReturnToControl) {
  const std::string text = "\xD6\xD0\xCE\xC4 raw\nsecond line\n";
  ASSERT_EQ(Convert(text, "page.tif"), 0);
  ASSERT_EQ(Convert(text, "page.g3"), 0);
  const std::string raw = ReadFile("page.g3").value_or("");
  ASSERT_GT(raw.size(), 2048u);
  const std::string data = raw.substr(2048);
  EXPECT_EQ(raw.substr(0, 16), std::string("BIT  FAX\x30\x01\0\0\0\0\0\0", 16));
  EXPECT_EQ(Le32At(raw, 16), 0u);
  EXPECT_EQ(Le32At(raw, 20), data.size());
  EXPECT_EQ(Le32At(raw, 24), 2048u);
  EXPECT_EQ(raw.substr(28, 2020), std::string(2020, '\0'));
  // Both forms carry the same image data.
  EXPECT_EQ(ReadFile("page.tif").value_or("").substr(238), data);

  WriteFile("page.data", data);
  std::string err;
  ASSERT_EQ(RunProgram("/usr/bin/fax2tiff", {"-3", "-1", "-L", "-o", "fax2tiff.tif", "page.data"},
                       &err),
            0)
      << err;
  std::vector<FaxRow> want = Decoded("page.tif");
  ASSERT_EQ(want.size(), 34u);
  want.resize(want.size() + 6, FaxRow{});
  EXPECT_EQ(FirstDifference(Decoded("fax2tiff.tif"), want), "");
}

TEST_F(TextFaxTest, AllWhiteLineIsTheMakeUpCodeFor1728AndZeroIn24Bytes) {
  TagCvtFax encoder(fonts_.path());
  ASSERT_EQ(encoder.status(), 0);
  ASSERT_TRUE(encoder.OpenFaxFile("white.g3"));
  const uint8_t white[216] = {};
  ASSERT_EQ(encoder.EncodeLine(white), 0);
  ASSERT_TRUE(encoder.CloseFaxFile());
  const std::string file = ReadFile("white.g3").value_or("");
  ASSERT_EQ(file.size(), 2048u + 2 + 24 + 9);
  // Make-up 1728, terminating 0, fill to 180 bits, EOL.
  std::string bits = std::string("010011011") + "00110101";
  bits += std::string(180 - bits.size(), '0') + "000000000001";
  EXPECT_EQ(file.substr(2050, 24), PackBits(bits));
}

TEST_F(TextFaxTest, EmptyTextGivesAPageWithoutScanLinesAndAWarning) {
  ASSERT_EQ(Convert(""), 0);
  const std::string file = ReadFile("out.tif").value_or("");
  EXPECT_EQ(file.size(), 238u + 2 + 9);
  EXPECT_EQ(Le32At(file, 26 + 2 * 12 + 8), 0u);  // ImageLength
  EXPECT_NE(Log().find("no scan lines"), std::string::npos) << Log();
}

// --- What is refused ---

// Rewrites the generated code table.
void EditTable(const std::string& path, void (*edit)(std::string&)) {
  std::string table = ReadFile(path).value_or("");
  ASSERT_EQ(table.size(), 2u + 92 * 38);
  edit(table);
  WriteFile(path, table);
}

TEST_F(TextFaxTest, BadCodeTablesAreRefusedWithTheirLogLines) {
  struct Case {
    const char* what;
    void (*edit)(std::string&);
    const char* logged;
  };
  const Case cases[] = {
      {"90 records", [](std::string& t) { t[0] = 90; }, "90 records"},
      {"a code of 17 bits", [](std::string& t) { t[2 + 5 * 38 + 2] = 17; }, "record 5"},
      {"a code byte 2", [](std::string& t) { t[2 + 7 * 38 + 6] = 2; }, "record 7"},
      {"a 13-bit end of line", [](std::string& t) { t[2 + 91 * 38 + 2] = 13; }, "end-of-line"},
      {"a short file", [](std::string& t) { t.resize(t.size() - 1); }, "shorter"},
  };
  const std::string saved = ReadFile(Fonts("huffman.cod")).value_or("");
  for (const Case& c : cases) {
    WriteFile(Fonts("huffman.cod"), saved);
    EditTable(Fonts("huffman.cod"), c.edit);
    EXPECT_EQ(Convert("A"), -1) << c.what;
    EXPECT_FALSE(testing_support::FileExists("out.tif")) << c.what;
    EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what;
  }
  std::filesystem::remove(Fonts("huffman.cod"));
  EXPECT_EQ(Convert("A"), -1);
  EXPECT_FALSE(testing_support::FileExists("out.tif"));
}

TEST_F(TextFaxTest, MissingOrOversizedFontsAndMissingFilesAreRefused) {
  std::filesystem::rename(Fonts("hzk16"), Fonts("hzk16.away"));
  EXPECT_EQ(Convert("A"), -2);
  std::filesystem::rename(Fonts("hzk16.away"), Fonts("hzk16"));
  // Three fonts beyond the 1 MiB area.
  WriteFile(Fonts("hzk16f"), std::string(kFontAreaBytes - 4096, '\0'));
  EXPECT_EQ(Convert("A"), -2);
  std::filesystem::remove(Fonts("hzk16f"));
  EXPECT_FALSE(testing_support::FileExists("out.tif"));
  EXPECT_EQ(TagTxtCvtFax(fonts_.path(), "no such.txt", "out.tif").status(), -3);
  EXPECT_EQ(Convert("A", "no/such/folder/out.tif"), -3);
  EXPECT_EQ(Convert("A", "out.tif"), 0);
}

// A fax file that is the text file itself (its name, another spelling of
// it, a link to it) is refused before anything is written: the text and
// the links keep their bytes.
TEST_F(TextFaxTest, AFaxFileThatIsTheTextIsRefusedAndTheTextKept) {
  const std::string text = "keep me\r\n";
  WriteFile("in.txt", text);
  ASSERT_EQ(::symlink("in.txt", "link.tif"), 0);
  ASSERT_EQ(::link("in.txt", "hard.g3"), 0);
  for (const char* fax : {"in.txt", "IN.TXT", ".\\in.txt", "link.tif", "hard.g3"}) {
    SCOPED_TRACE(fax);
    EXPECT_EQ(TagTxtCvtFax(fonts_.path(), "in.txt", fax).status(), -3);
    for (const char* name : {"in.txt", "link.tif", "hard.g3"}) {
      EXPECT_EQ(ReadFile(name).value_or("<gone>"), text) << name;
    }
    EXPECT_NE(Log().find(std::string("the fax file ") + fax + " is the text file in.txt"),
              std::string::npos)
        << Log();
  }
}

TEST_F(TextFaxTest, DirectoryIsJoinedWithABackslashAsScriptsWriteIt) {
  WriteFile("in.txt", "A");
  EXPECT_EQ(TagTxtCvtFax(fonts_.path() + "\\", "in.txt", "a.tif").status(), 0);
  std::string windows = fonts_.path();
  for (char& c : windows) c = c == '/' ? '\\' : c;
  EXPECT_EQ(TagTxtCvtFax(windows, "in.txt", "b.tif").status(), 0);
  EXPECT_EQ(ReadFile("a.tif"), ReadFile("b.tif"));
}

// --- The real fonts ---

// A page of Chinese and English drawn with the fonts made from unifont,
// kept as a picture (tiff2pdf, pdftoppm) where the test results are.
TEST_F(TextFaxTest, PageWithTheUnifontFontsBecomesAPicture) {
  std::string err;
  ASSERT_EQ(RunProgram("/usr/bin/python3",
                       {std::string(VTTEL_SOURCE_DIR) + "/tools/make_fax_fonts.py", "--out",
                        fonts_.path()},
                       &err, 60000),
            0)
      << err;
  const std::string asc16 = ReadFile(Fonts("asc16")).value_or("");
  const std::string hzk16 = ReadFile(Fonts("hzk16")).value_or("");
  ASSERT_EQ(asc16.size(), 256u * 16);
  ASSERT_EQ(hzk16.size(), 94u * 94 * 32);
  // "传真测试页 Fax test page", then English and digits, a tabbed line and
  // both halves of GB2312.
  const std::string text =
      "\xB4\xAB\xD5\xE6\xB2\xE2\xCA\xD4\xD2\xB3 Fax test page\r\n"
      "The quick brown fox jumps over the lazy dog. 0123456789\r\n"
      "\t\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7\xA3\xA1 Hello, world!\r\n"
      "\xB0\xA1\xB0\xA2 ... \xF7\xFD\xF7\xFE\r\n";
  ASSERT_EQ(Convert(text, "page.tif"), 0);
  const std::vector<FaxRow> rows = Decoded("page.tif");
  ASSERT_EQ(rows.size(), 4u * 17);
  // The first glyph, "传", lands at pixel 120 with every pixel doubled.
  const size_t cell = GbCell(0xB4, 0xAB) * 32;
  for (uint32_t r = 0; r < 16; ++r) {
    for (int half = 0; half < 2; ++half) {
      const auto byte = static_cast<uint8_t>(hzk16[cell + r * 2 + half]);
      for (int bit = 0; bit < 8; ++bit) {
        const int px = 120 + 16 * half + 2 * bit;
        const bool black = (rows[r][px / 8] & (0x80 >> (px % 8))) != 0;
        EXPECT_EQ(black, (byte & (0x80 >> bit)) != 0) << "row " << r << " pixel " << px;
      }
    }
  }
  ASSERT_EQ(RunProgram("/usr/bin/tiff2pdf", {"-o", "page.pdf", "page.tif"}, &err), 0) << err;
  std::filesystem::create_directories(VTTEL_ARTIFACTS_DIR);
  const std::string picture = std::string(VTTEL_ARTIFACTS_DIR) + "/fax_page";
  ASSERT_EQ(RunProgram("/usr/bin/pdftoppm",
                       {"-png", "-r", "150", "-singlefile", "page.pdf", picture}, &err),
            0)
      << err;
  EXPECT_EQ(ReadFile(picture + ".png").value_or("").substr(0, 4), "\x89PNG");
}

}  // namespace
}  // namespace telephony

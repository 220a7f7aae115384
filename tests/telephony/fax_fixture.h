// What the text-to-fax tests share: a folder with the code table made by
// tools/make_huffman_cod.py and synthetic 16-dot fonts in which every glyph
// draws its own index, the page those glyphs should give, and the pages
// libtiff decodes from a fax file.
#ifndef VTTEL_TESTS_TELEPHONY_FAX_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_FAX_FIXTURE_H_

#include <gtest/gtest.h>
#include <tiffio.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/platform/spawned_program.h"
#include "tests/test_support.h"

namespace telephony {

inline constexpr int kPagePixels = 1728;
inline constexpr int kRowBytes = kPagePixels / 8;
using FaxRow = std::array<uint8_t, kRowBytes>;

// Synthetic glyphs. A narrow glyph always sets its leftmost and rightmost
// pixel and holds its byte value in the others (the blank is blank); a
// wide glyph does the same with its cell index (variant 1: the Big5 font,
// its bits inverted inside the frame).
inline uint8_t NarrowGlyphRow(uint32_t c, uint32_t r) {
  return c == ' ' ? 0 : static_cast<uint8_t>(0x81 | (((c + r) << 1) & 0x7E));
}
inline std::array<uint8_t, 2> WideGlyphRow(uint32_t index, uint32_t r, int variant = 0) {
  uint8_t hi = static_cast<uint8_t>(((index >> 7) + r) & 0x7F);
  uint8_t lo = static_cast<uint8_t>(((index & 0x7F) + r) << 1);
  if (variant == 1) {
    hi = static_cast<uint8_t>(~hi & 0x7F);
    lo = static_cast<uint8_t>(~lo & 0xFE);
  }
  return {static_cast<uint8_t>(0x80 | hi), static_cast<uint8_t>(0x01 | lo)};
}
inline std::string NarrowFont() {
  std::string font;
  for (uint32_t c = 0; c < 256; ++c) {
    for (uint32_t r = 0; r < 16; ++r) font += static_cast<char>(NarrowGlyphRow(c, r));
  }
  return font;
}
inline std::string WideFont(int variant = 0) {
  std::string font;
  for (uint32_t i = 0; i < 94 * 94; ++i) {
    for (uint32_t r = 0; r < 16; ++r) {
      for (uint8_t b : WideGlyphRow(i, r, variant)) font += static_cast<char>(b);
    }
  }
  return font;
}
// The cell of a GB2312 character.
inline uint32_t GbCell(uint8_t lead, uint8_t trail) { return (lead - 0xA1) * 94 + (trail - 0xA1); }

// The page a text should give, built glyph by glyph.
class ExpectedPage {
 public:
  // Starts a text line of 16 glyph rows and one white row.
  void NewTextLine() {
    first_ = rows_.size();
    rows_.resize(rows_.size() + 17, FaxRow{});
  }
  void Narrow(int x, uint32_t c) {
    for (uint32_t r = 0; r < 16; ++r) PutByte(r, x, NarrowGlyphRow(c, r));
  }
  void Wide(int x, uint32_t index, int variant = 0) {
    for (uint32_t r = 0; r < 16; ++r) {
      const auto bytes = WideGlyphRow(index, r, variant);
      PutByte(r, x, bytes[0]);
      PutByte(r, x + 16, bytes[1]);
    }
  }
  // Narrow glyphs of text from x on; the x after them.
  int Text(int x, const std::string& text) {
    for (unsigned char c : text) {
      Narrow(x, c);
      x += 16;
    }
    return x;
  }
  const std::vector<FaxRow>& rows() const { return rows_; }

 private:
  // One glyph byte, every pixel doubled, at pixel x (cut at the page edge).
  void PutByte(uint32_t r, int x, uint8_t byte) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((byte & (0x80 >> bit)) == 0) continue;
      for (int half = 0; half < 2; ++half) {
        const int px = x + 2 * bit + half;
        if (px < kPagePixels) rows_[first_ + r][px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
      }
    }
  }
  std::vector<FaxRow> rows_;
  size_t first_ = 0;
};

// What libtiff makes of a TIFF file.
struct DecodedFax {
  bool opened = false;
  uint32_t width = 0, length = 0;
  std::vector<FaxRow> rows;
  std::string errors;
};

inline std::string& LibtiffErrors() {
  static std::string errors;
  return errors;
}

inline DecodedFax DecodeTiff(const std::string& path) {
  TIFFSetErrorHandler([](const char* module, const char* format, va_list args) {
    char text[512];
    vsnprintf(text, sizeof text, format, args);
    LibtiffErrors() += std::string(module ? module : "") + ": " + text + "\n";
  });
  LibtiffErrors().clear();
  DecodedFax d;
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) {
    d.errors = LibtiffErrors();
    return d;
  }
  d.opened = true;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.length);
  if (d.width == kPagePixels && TIFFScanlineSize(tif) == kRowBytes) {
    for (uint32_t r = 0; r < d.length; ++r) {
      FaxRow row{};
      if (TIFFReadScanline(tif, row.data(), r, 0) < 0) break;
      d.rows.push_back(row);
    }
  }
  TIFFClose(tif);
  d.errors = LibtiffErrors();
  return d;
}

// The first row where two pages differ, as text ("" when equal).
inline std::string FirstDifference(const std::vector<FaxRow>& got, const std::vector<FaxRow>& want) {
  if (got.size() != want.size()) {
    return "rows: " + std::to_string(got.size()) + " != " + std::to_string(want.size());
  }
  for (size_t r = 0; r < got.size(); ++r) {
    for (int b = 0; b < kRowBytes; ++b) {
      if (got[r][b] != want[r][b]) {
        return "row " + std::to_string(r) + " byte " + std::to_string(b) + ": " +
               std::to_string(got[r][b]) + " != " + std::to_string(want[r][b]);
      }
    }
  }
  return "";
}

// A folder with "huffman.cod" from the generator and the synthetic fonts.
class FaxFolder {
 public:
  FaxFolder() {
    std::string err;
    EXPECT_EQ(testing_support::RunProgram(
                  "/usr/bin/python3",
                  {std::string(VTTEL_SOURCE_DIR) + "/tools/make_huffman_cod.py", "--out", path()},
                  &err),
              0)
        << err;
    testing_support::WriteFile(File("asc16"), NarrowFont());
    testing_support::WriteFile(File("hzk16"), WideFont());
  }
  const std::string& path() const { return dir_.path(); }
  std::string File(const std::string& name) const { return path() + "/" + name; }

 private:
  testing_support::TempDir dir_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_FAX_FIXTURE_H_

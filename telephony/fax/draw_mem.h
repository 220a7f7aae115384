// DrawMem: the text renderer of the text-to-fax conversion. It loads the
// 16-dot fonts from its font directory (script paths joined by FaxDirFile):
//   "asc16"   8x16 glyphs, 16 bytes each (a byte a row, leftmost pixel in
//             the high bit), indexed by the byte value;
//   "hzk16"   16x16 glyphs of GB2312, 32 bytes each (two bytes a row),
//             indexed by (lead - 0xA1) x 94 + (trail - 0xA1);
//   "hzk16f"  optional, the same layout, for texts that came in Big5
//             (without it "hzk16" draws them too).
// Together they must fit the 1 MiB font area.
//
// DrawTextLine draws one text line into the first 16 rows of a 1728-pixel
// line bitmap, from pixel kFaxTextLeft: bytes up to 0xA0 are single-byte
// glyphs 16 pixels wide, two bytes above 0xA0 one double-byte glyph 32
// pixels wide (every glyph pixel is doubled side by side; rows are not).
// Pixels at or beyond pixel 1728 and glyphs outside their font are not drawn.
//
// Thread rules: one object is used by one thread.
#ifndef VTTEL_TELEPHONY_FAX_DRAW_MEM_H_
#define VTTEL_TELEPHONY_FAX_DRAW_MEM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/fax/cvt_fax.h"

namespace telephony {

inline constexpr size_t kFontAreaBytes = size_t{1} << 20;
inline constexpr uint32_t kFaxTextLeft = 40;
inline constexpr uint32_t kGlyphRows = 16;
inline constexpr uint32_t kLineBitmapRows = 32;

class DrawMem {
 public:
  static constexpr int kLoaded = 0;
  static constexpr int kNotLoaded = -1;

  // Loads the fonts of font_dir; status() -1 (and a log line) when "asc16"
  // or "hzk16" cannot be read or the fonts do not fit the font area.
  explicit DrawMem(std::string_view font_dir);

  int status() const { return status_; }
  // Clears the glyph rows and draws text (GBK; a text taken for Big5 is
  // turned into simplified GBK first and drawn with the Big5 font).
  void DrawTextLine(std::string_view text);
  // Row r (0..15) of the line bitmap: kFaxLineBytes bytes.
  const uint8_t* Row(uint32_t r) const { return bitmap_ + r * kFaxLineBytes; }

 private:
  enum class Load { kLoaded, kMissing, kFailed };
  // Reads font `name` into *font within the room the fonts loaded so far
  // leave in the font area.
  Load LoadFont(std::string_view dir, const char* name, std::string* font);
  void DrawGlyphs(std::string_view text, const std::string& wide);
  void DrawGlyph(const std::string& font, size_t index, uint32_t bytes_per_row, uint32_t x);

  std::string asc_, hzk_, big5_;  // the fonts; together at most kFontAreaBytes
  const std::string* big5Font_ = &big5_;  // "hzk16" when there is no "hzk16f"
  size_t loaded_ = 0;                     // font bytes loaded so far
  int status_ = kNotLoaded;
  uint8_t bitmap_[kLineBitmapRows * kFaxLineBytes] = {};
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_DRAW_MEM_H_

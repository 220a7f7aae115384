#include "telephony/fax/draw_mem.h"

#include <array>
#include <cstring>

#include "frame/log.h"
#include "platform/big5_text.h"
#include "platform/file_ops.h"
#include "telephony/fax/fax_files.h"

namespace telephony {

namespace {

constexpr unsigned char kLastSingleByte = 0xA0;
constexpr uint32_t kGbRowCells = 94;

// Every bit of a byte doubled: bit i goes to bits 2i and 2i + 1.
constexpr std::array<uint16_t, 256> MakeDoubled() {
  std::array<uint16_t, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t wide = 0;
    for (uint32_t i = 0; i < 8; ++i) {
      if (b & (1u << i)) wide |= 3u << (2 * i);
    }
    table[b] = static_cast<uint16_t>(wide);
  }
  return table;
}
constexpr std::array<uint16_t, 256> kDoubled = MakeDoubled();

}  // namespace

DrawMem::DrawMem(std::string_view font_dir) {
  if (LoadFont(font_dir, "asc16", &asc_) != Load::kLoaded ||
      LoadFont(font_dir, "hzk16", &hzk_) != Load::kLoaded) {
    return;
  }
  switch (LoadFont(font_dir, "hzk16f", &big5_)) {
    case Load::kFailed: return;
    case Load::kMissing: big5Font_ = &hzk_; break;
    case Load::kLoaded: break;
  }
  status_ = kLoaded;
}

DrawMem::Load DrawMem::LoadFont(std::string_view dir, const char* name, std::string* font) {
  const std::string path = FaxDirFile(dir, name);
  const size_t room = kFontAreaBytes - loaded_;
  platform::FileBytes read = platform::ReadScriptFile(path, static_cast<int64_t>(room), 0,
                                                      platform::EmptyFile::kGivesEmpty);
  if (!read.bytes) {
    frame::LogAlwaysF("DrawMem: cannot load %s%s", path.c_str(),
                      read.opened ? " (larger than the font area's room)" : "");
    return read.opened ? Load::kFailed : Load::kMissing;
  }
  *font = std::move(*read.bytes);
  loaded_ += font->size();
  return Load::kLoaded;
}

void DrawMem::DrawTextLine(std::string_view text) {
  std::memset(bitmap_, 0, kGlyphRows * kFaxLineBytes);
  if (platform::IsBig5Text(text)) {
    DrawGlyphs(platform::Big5ToGbk(text), *big5Font_);
  } else {
    DrawGlyphs(text, hzk_);
  }
}

void DrawMem::DrawGlyphs(std::string_view text, const std::string& wide) {
  uint32_t x = kFaxTextLeft;
  int lead = -1;
  for (const char ch : text) {
    if (x >= kFaxLinePixels) return;
    const auto c = static_cast<unsigned char>(ch);
    if (c <= kLastSingleByte) {
      DrawGlyph(asc_, c, 1, x);
      x += 16;
    } else if (lead < 0) {
      lead = c;
    } else {
      DrawGlyph(wide, (lead - 0xA1) * kGbRowCells + (c - 0xA1), 2, x);
      x += 32;
      lead = -1;
    }
  }
}

void DrawMem::DrawGlyph(const std::string& font, size_t index, uint32_t bytes_per_row,
                        uint32_t x) {
  const size_t glyph_bytes = bytes_per_row * kGlyphRows;
  if ((index + 1) * glyph_bytes > font.size()) return;  // outside the font: blank
  const auto* glyph = reinterpret_cast<const uint8_t*>(font.data()) + index * glyph_bytes;
  const uint32_t first = x / 8;
  for (uint32_t r = 0; r < kGlyphRows; ++r) {
    uint8_t* row = bitmap_ + r * kFaxLineBytes;
    for (uint32_t b = 0; b < bytes_per_row; ++b) {
      const uint16_t wide = kDoubled[glyph[r * bytes_per_row + b]];
      const uint32_t at = first + 2 * b;
      if (at < kFaxLineBytes) row[at] |= static_cast<uint8_t>(wide >> 8);
      if (at + 1 < kFaxLineBytes) row[at + 1] |= static_cast<uint8_t>(wide);
    }
  }
}

}  // namespace telephony

// Random code tables, fonts and texts through the text-to-fax conversion.
// The input's first byte chooses how the table is made: its bytes as they
// are (the loader must refuse what it cannot use) or a table of random
// codes of legal lengths (the encoder must stay inside its line buffer);
// the fonts get random lengths, now and then too large for the font area
// (then the conversion must give -2); the rest of the input is the text.
// Nothing may read or write past the line bitmap, the 1728-pixel line or
// the font area.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "telephony/fax/draw_mem.h"
#include "telephony/fax/fax_code_table.h"
#include "telephony/fax/text_fax.h"

namespace {

constexpr size_t kRecords = telephony::kFaxCodeRecords;
constexpr size_t kNarrowFontBytes = 256 * 16;
constexpr size_t kWideFontBytes = 94 * 94 * 32;
constexpr size_t kShortWideFontBytes = 40 * 94 * 32;

// The folder of one input's files, removed after it.
const std::string& Folder() {
  static const std::string folder = "/tmp/vttel_text_fax_fuzz_" + std::to_string(getpid());
  return folder;
}

std::string File(const char* name) { return Folder() + "/" + name; }

void Write(const char* name, const std::string& bytes) {
  FILE* f = std::fopen(File(name).c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Reads the input front to back; zeros once it is used up.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_) + at_, size_ - at_);
    at_ = size_;
    return rest;
  }
  std::string Take(size_t n) {
    n = std::min(n, size_ - at_);
    std::string part(reinterpret_cast<const char*>(data_) + at_, n);
    at_ += n;
    return part;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

void PutU16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

// A code of `length` random bits (one byte per bit), padded to 16 bytes.
std::string CodeBits(Input& in, uint32_t length) {
  std::string bits(telephony::kFaxCodeMaxBits, '\0');
  const uint32_t random = in.Byte() | (uint32_t{in.Byte()} << 8);
  for (uint32_t i = 0; i < length; ++i) bits[i] = static_cast<char>((random >> i) & 1);
  return bits;
}

// A table of legal code lengths and random bits; the end-of-line code of
// 4 or 12 bits.
std::string RandomTable(Input& in) {
  std::string table;
  PutU16(table, kRecords);
  for (size_t i = 0; i < kRecords; ++i) {
    const uint8_t lengths = in.Byte();
    const uint32_t white = 1 + (lengths & 15), black = 1 + (lengths >> 4);
    PutU16(table, static_cast<uint32_t>(i));
    PutU16(table, white);
    PutU16(table, black);
    table += CodeBits(in, white);
    table += CodeBits(in, black);
  }
  const uint32_t eol = in.Byte() & 1 ? 4 : 12;
  PutU16(table, 0);
  PutU16(table, eol);
  PutU16(table, 0);
  table += CodeBits(in, eol);
  table += std::string(telephony::kFaxCodeMaxBits, '\0');
  return table;
}

// A font of a random length up to `most` bytes, its glyphs random or full.
std::string RandomFont(Input& in, size_t most) {
  const size_t length = (in.Byte() | (size_t{in.Byte()} << 8)) * most / 65535;
  const uint8_t fill = in.Byte();
  std::string font(length, static_cast<char>(fill));
  for (size_t i = 0; i < length; i += 97) font[i] = static_cast<char>(in.Byte());
  return font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::filesystem::create_directories(Folder());
  Input in(data, size);
  const uint8_t mode = in.Byte();
  const bool random_table = (mode & 3) != 0;
  const bool oversized = (mode & 0xF0) == 0xF0;
  Write("huffman.cod", random_table ? RandomTable(in) : in.Take(in.Byte() * 16));
  Write("asc16", RandomFont(in, kNarrowFontBytes));
  // Whole fonts now and then; mostly short ones, whose ends glyphs pass.
  const size_t wide_font = mode & 8 ? kWideFontBytes : kShortWideFontBytes;
  Write("hzk16", RandomFont(in, wide_font));
  const size_t big5_font = oversized ? telephony::kFontAreaBytes : (mode & 0x30 ? 0 : wide_font);
  if (big5_font == 0) {
    std::filesystem::remove(File("hzk16f"));
  } else {
    Write("hzk16f", RandomFont(in, big5_font) + (oversized ? std::string(big5_font + 1, '\xFF') : ""));
  }
  Write("text.txt", in.Rest());
  const char* fax = mode & 4 ? "fax.tif" : "fax.g3";
  const int status = telephony::TagTxtCvtFax(Folder(), File("text.txt"), File(fax)).status();
  if (status < -3 || status > 0) __builtin_trap();
  if (random_table && oversized && status != -2) __builtin_trap();
  std::filesystem::remove_all(Folder());
  return 0;
}

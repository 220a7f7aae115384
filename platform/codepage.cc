// Code pages over glibc iconv.
//
// Each thread keeps its own descriptors (iconv_t is not safe to share), opened
// on first use and closed when the thread ends; one more descriptor per
// conversion stays open for the life of the process to keep glibc's module
// loaded. iconv stops at the first sequence it cannot convert; the
// replacement rules of codepage.h are applied there and the conversion goes
// on after the bad bytes.
//
// Replacements that the header leaves open are settled here:
//  - GBK/Big5: a lead byte and a well-formed trail byte that name no
//    character are two bad bytes ("??"), so a bad text keeps its byte length;
//  - UTF-7: a bad byte inside a base64 run also ends the run; a text that
//    ends inside an unfinished unit gives one U+FFFD per base64 byte of that
//    unit (at least one);
//  - encoding a character above U+FFFF to GBK or Big5 gives one '?' per
//    UTF-16 unit, "??".
// glibc's GBK is code page 936 as Windows has it for the byte 0x80 (U+20AC,
// both ways) and for A1A4/A1AA (U+00B7/U+2014); its user-defined areas
// (AAA1-AFFE, F8A1-FEFE, A140-A7A0) are unmapped and so give "??".
#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/byte_order.h"

namespace platform {
namespace {

constexpr char16_t kReplacementUnit = 0xFFFD;
constexpr char kQuestion = '?';

// The iconv name of the units held in a std::u16string on this machine.
constexpr const char* kUnitsName =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);
constexpr size_t kIconvError = static_cast<size_t>(-1);

// The conversions a thread may need, one descriptor each.
enum Route : int {
  kGbkIn, kBig5In, kUtf8In, kUtf7In,      // to UTF-16 units
  kGbkOut, kBig5Out, kUtf8Out, kUtf7Out,  // from UTF-16 units
  kGbkToUtf8, kUtf8ToGbk,                 // the two edge conversions
  kRouteCount
};

struct RouteNames {
  const char* to;
  const char* from;
};

constexpr std::array<RouteNames, kRouteCount> kRouteNames = {{
    {kUnitsName, "GBK"}, {kUnitsName, "BIG5"}, {kUnitsName, "UTF-8"}, {kUnitsName, "UTF-7"},
    {"GBK", kUnitsName}, {"BIG5", kUnitsName}, {"UTF-8", kUnitsName}, {"UTF-7", kUnitsName},
    {"UTF-8", "GBK"}, {"GBK", "UTF-8"},
}};

// glibc unloads a conversion module when its last descriptor closes, and a
// thread's descriptors close when the thread ends. One descriptor per route
// is kept open for the life of the process so that threads coming and going
// do not load and unload the modules each time.
void KeepModuleLoaded(Route route) {
  static std::array<std::once_flag, kRouteCount> once;
  static std::array<iconv_t, kRouteCount> keepers;  // written once, under once[route]
  std::call_once(once[route], [route] {
    keepers[route] = iconv_open(kRouteNames[route].to, kRouteNames[route].from);
  });
}

// The descriptors of one thread. Get() hands one out in its initial state,
// or nullptr when this glibc cannot convert that way.
class Descriptors {
 public:
  Descriptors() { cds_.fill(kNoDescriptor); }
  ~Descriptors() {
    for (iconv_t cd : cds_) {
      if (cd != kNoDescriptor) iconv_close(cd);
    }
  }
  Descriptors(const Descriptors&) = delete;
  Descriptors& operator=(const Descriptors&) = delete;

  iconv_t* Get(Route route) {
    iconv_t& cd = cds_[route];
    if (cd == kNoDescriptor) {
      if (tried_[route]) return nullptr;
      tried_[route] = true;
      KeepModuleLoaded(route);
      cd = iconv_open(kRouteNames[route].to, kRouteNames[route].from);
      if (cd == kNoDescriptor) return nullptr;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    return &cd;
  }

 private:
  std::array<iconv_t, kRouteCount> cds_;
  std::array<bool, kRouteCount> tried_{};
};

iconv_t* ThreadDescriptor(Route route) {
  thread_local Descriptors descriptors;
  return descriptors.Get(route);
}

// An output string filled by iconv: the string is grown ahead of iconv and
// cut to what was written at the end, so replacements cost no refills.
template <typename Unit>
class OutBuffer {
 public:
  explicit OutBuffer(size_t reserve_units) { text_.resize(reserve_units + 16); }

  char* tail() { return reinterpret_cast<char*>(text_.data() + used_); }
  size_t tail_bytes() const { return (text_.size() - used_) * sizeof(Unit); }
  // iconv moved the tail pointer to p.
  void Commit(char* p) {
    used_ = static_cast<size_t>(p - reinterpret_cast<char*>(text_.data())) / sizeof(Unit);
  }
  void Grow() { text_.resize(text_.size() * 2); }
  void Append(Unit u, size_t count = 1) {
    while (text_.size() - used_ < count) Grow();
    std::fill_n(text_.begin() + static_cast<ptrdiff_t>(used_), count, u);
    used_ += count;
  }
  std::basic_string<Unit> Take() {
    text_.resize(used_);
    return std::move(text_);
  }

 private:
  std::basic_string<Unit> text_;
  size_t used_ = 0;
};

// Runs cd over the bytes in, appending to out. Where iconv stops at a bad or
// incomplete sequence, on_bad(offset) appends the replacement and returns how
// many input bytes it stands for (at least one). Returns true when iconv ran
// to the end, false when it failed in a way it never should (then the rest of
// the input is dropped).
template <typename Unit, typename OnBad>
bool RunIconv(iconv_t cd, std::string_view in, OutBuffer<Unit>& out, OnBad&& on_bad) {
  char* ip = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* op = out.tail();
    size_t room = out.tail_bytes();
    size_t r = iconv(cd, &ip, &left, &op, &room);
    int err = errno;
    out.Commit(op);
    if (r != kIconvError) break;
    if (err == E2BIG) {
      out.Grow();
      continue;
    }
    if (err != EILSEQ && err != EINVAL) return false;
    size_t offset = static_cast<size_t>(ip - in.data());
    size_t skip = std::clamp<size_t>(on_bad(offset), 1, left);
    ip += skip;
    left -= skip;
  }
  return true;
}

// Ends an encoding: writes what a stateful target (UTF-7) still holds.
template <typename Unit>
void FlushIconv(iconv_t cd, OutBuffer<Unit>& out) {
  for (;;) {
    char* op = out.tail();
    size_t room = out.tail_bytes();
    size_t r = iconv(cd, nullptr, nullptr, &op, &room);
    int err = errno;
    out.Commit(op);
    if (r != kIconvError || err != E2BIG) return;
    out.Grow();
  }
}

std::string_view UnitBytes(std::u16string_view units) {
  return {reinterpret_cast<const char*>(units.data()), units.size() * sizeof(char16_t)};
}

bool IsAscii(std::string_view bytes) {
  unsigned char any = 0;
  for (char c : bytes) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

bool IsAscii(std::u16string_view units) {
  char16_t any = 0;
  for (char16_t u : units) any |= u;
  return any < 0x80;
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// --- GBK and Big5 -----------------------------------------------------------

bool IsDbcsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool IsDbcsTrail(CodePage cp, unsigned char c) {
  if (c >= 0x40 && c <= 0x7E) return true;
  return cp == CodePage::kGbk ? (c >= 0x80 && c <= 0xFE) : (c >= 0xA1 && c <= 0xFE);
}

// How many bad bytes start at in[offset] where iconv stopped: a lead byte
// with a well-formed trail byte is an unmapped pair (two), anything else is
// one byte and decoding starts again after it.
size_t DbcsBadBytes(CodePage cp, std::string_view in, size_t offset) {
  const auto lead = static_cast<unsigned char>(in[offset]);
  if (IsDbcsLead(lead) && offset + 1 < in.size() &&
      IsDbcsTrail(cp, static_cast<unsigned char>(in[offset + 1]))) {
    return 2;
  }
  return 1;
}

// --- UTF-8 --------------------------------------------------------------------

struct Utf8Span {
  size_t length;  // the maximal well-formed prefix, at least 1
  bool complete;  // a whole well-formed sequence
};

// The well-formed UTF-8 sequence (Unicode table 3-7) or the maximal prefix of
// one that starts at in[offset].
Utf8Span Utf8SequenceAt(std::string_view in, size_t offset) {
  const auto b0 = static_cast<unsigned char>(in[offset]);
  if (b0 < 0x80) return {1, true};
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return {1, false};
  }
  size_t got = 0;
  while (got < need && offset + 1 + got < in.size()) {
    const auto b = static_cast<unsigned char>(in[offset + 1 + got]);
    if (got == 0 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) break;
    ++got;
  }
  return {1 + got, got == need};
}

// --- UTF-7 --------------------------------------------------------------------

bool IsBase64(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '+' || c == '/';
}

// The base64 bytes of the unit left unfinished at the end of a UTF-7 text
// that starts in the direct state (at least one).
size_t Utf7OpenTailBytes(std::string_view text) {
  bool base64 = false;
  int bits = 0;
  size_t pending = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!base64) {
      if (c != '+') continue;
      if (i + 1 < text.size() && text[i + 1] == '-') {
        ++i;  // "+-" is a literal '+'
      } else {
        base64 = true;
        bits = 0;
        pending = 0;
      }
    } else if (IsBase64(c)) {
      bits += 6;
      ++pending;
      if (bits >= 16) {
        bits -= 16;
        pending = 0;
      }
    } else {
      base64 = false;
    }
  }
  return base64 ? std::max<size_t>(pending, 1) : 1;
}

// Whether the UTF-7 decoder cd stands in the middle of a unit (or after a
// lone high surrogate): a '-' is then refused.
bool Utf7EndsInsideUnit(iconv_t cd) {
  char dash = '-';
  char* ip = &dash;
  size_t left = 1;
  char scratch[16];
  char* op = scratch;
  size_t room = sizeof(scratch);
  return iconv(cd, &ip, &left, &op, &room) == kIconvError && errno == EILSEQ;
}

// --- Without iconv --------------------------------------------------------------

// When this glibc lacks a conversion: ASCII passes, every other byte or unit
// is replaced.
std::u16string AsciiOnlyToUtf16(std::string_view bytes, char16_t replacement) {
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    out[i] = c < 0x80 ? c : replacement;
  }
  return out;
}

std::string AsciiOnlyFromUtf16(std::u16string_view units) {
  std::string out(units.size(), kQuestion);
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] < 0x80) out[i] = static_cast<char>(units[i]);
  }
  return out;
}

std::string AsciiOnlyToAscii(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) >= 0x80) c = kQuestion;
  }
  return out;
}

// --- UTF-16LE bytes -------------------------------------------------------------

std::u16string Utf16LeToUnits(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(LoadLe16(bytes.data() + 2 * i));
  }
  return out;
}

std::string UnitsToUtf16Le(std::u16string_view units) {
  std::string out(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    StoreLe16(out.data() + 2 * i, units[i]);
  }
  return out;
}

// --- Decoding and encoding through iconv --------------------------------------

std::u16string Decode(CodePage cp, Route route, std::string_view bytes) {
  const bool dbcs = cp == CodePage::kGbk || cp == CodePage::kBig5;
  const char16_t fallback = dbcs ? u'?' : kReplacementUnit;
  iconv_t* cd = ThreadDescriptor(route);
  if (cd == nullptr) return AsciiOnlyToUtf16(bytes, fallback);
  OutBuffer<char16_t> out(bytes.size());
  size_t segment = 0;  // UTF-7: where the decoder last started afresh
  RunIconv(*cd, bytes, out, [&](size_t offset) -> size_t {
    switch (cp) {
      case CodePage::kUtf8: {
        out.Append(kReplacementUnit);
        return Utf8SequenceAt(bytes, offset).length;
      }
      case CodePage::kUtf7: {
        out.Append(kReplacementUnit);
        iconv(*cd, nullptr, nullptr, nullptr, nullptr);  // the bad byte ends a base64 run
        segment = offset + 1;
        return 1;
      }
      default: {
        size_t bad = DbcsBadBytes(cp, bytes, offset);
        out.Append(u'?', bad);
        return bad;
      }
    }
  });
  if (cp == CodePage::kUtf7 && Utf7EndsInsideUnit(*cd)) {
    const std::string_view tail = bytes.substr(std::min(segment, bytes.size()));
    out.Append(kReplacementUnit, Utf7OpenTailBytes(tail));
  }
  return out.Take();
}

std::string Encode(CodePage cp, Route route, std::u16string_view units) {
  iconv_t* cd = ThreadDescriptor(route);
  if (cd == nullptr) return AsciiOnlyFromUtf16(units);
  const bool unicode = cp == CodePage::kUtf8 || cp == CodePage::kUtf7;
  OutBuffer<char> out(units.size() * (unicode ? 3 : 2));
  const std::string_view in = UnitBytes(units);
  RunIconv(*cd, in, out, [&](size_t offset) -> size_t {
    const size_t i = offset / sizeof(char16_t);
    const bool pair = i + 1 < units.size() && IsHighSurrogate(units[i]) &&
                      IsLowSurrogate(units[i + 1]);
    // The replacement goes through the same descriptor, so that a stateful
    // target (UTF-7) writes it inside its current run.
    const char16_t replacement[2] = {unicode ? kReplacementUnit : u'?', u'?'};
    const size_t count = unicode || !pair ? 1 : 2;
    RunIconv(*cd, UnitBytes(std::u16string_view(replacement, count)), out,
             [](size_t) -> size_t { return 1; });
    return (pair ? 2 : 1) * sizeof(char16_t);
  });
  FlushIconv(*cd, out);
  return out.Take();
}

Route InRoute(CodePage cp) {
  switch (cp) {
    case CodePage::kGbk: return kGbkIn;
    case CodePage::kBig5: return kBig5In;
    case CodePage::kUtf7: return kUtf7In;
    default: return kUtf8In;
  }
}

Route OutRoute(CodePage cp) {
  switch (cp) {
    case CodePage::kGbk: return kGbkOut;
    case CodePage::kBig5: return kBig5Out;
    case CodePage::kUtf7: return kUtf7Out;
    default: return kUtf8Out;
  }
}

bool IsKnown(CodePage cp) {
  switch (cp) {
    case CodePage::kGbk:
    case CodePage::kBig5:
    case CodePage::kUtf16Le:
    case CodePage::kUtf7:
    case CodePage::kUtf8:
      return true;
  }
  return false;
}

// ASCII is the same in these code pages (not in UTF-7, where '+' shifts).
bool AsciiIsIdentity(CodePage cp) {
  return cp == CodePage::kGbk || cp == CodePage::kBig5 || cp == CodePage::kUtf8;
}

}  // namespace

std::u16string ToUtf16(CodePage cp, std::string_view bytes) {
  if (bytes.empty()) return {};
  if (cp == CodePage::kUtf16Le) return Utf16LeToUnits(bytes);
  if (!IsKnown(cp)) return AsciiOnlyToUtf16(bytes, u'?');
  if (AsciiIsIdentity(cp) && IsAscii(bytes)) return std::u16string(bytes.begin(), bytes.end());
  return Decode(cp, InRoute(cp), bytes);
}

std::string FromUtf16(CodePage cp, std::u16string_view units) {
  if (units.empty()) return {};
  if (cp == CodePage::kUtf16Le) return UnitsToUtf16Le(units);
  if (!IsKnown(cp)) return AsciiOnlyFromUtf16(units);
  if (AsciiIsIdentity(cp) && IsAscii(units)) {
    std::string out(units.size(), '\0');
    std::copy(units.begin(), units.end(), out.begin());
    return out;
  }
  return Encode(cp, OutRoute(cp), units);
}

std::string Convert(CodePage from, CodePage to, std::string_view bytes) {
  if (from == CodePage::kGbk && to == CodePage::kUtf8) return GbkToUtf8(bytes);
  if (from == CodePage::kUtf8 && to == CodePage::kGbk) return Utf8ToGbk(bytes);
  return FromUtf16(to, ToUtf16(from, bytes));
}

// GBK text holds only characters of the basic plane, all of which UTF-8
// holds, so iconv stops only at bad GBK bytes.
std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  iconv_t* cd = ThreadDescriptor(kGbkToUtf8);
  if (cd == nullptr) return AsciiOnlyToAscii(gbk);
  OutBuffer<char> out(gbk.size() + gbk.size() / 2);
  RunIconv(*cd, gbk, out, [&](size_t offset) -> size_t {
    size_t bad = DbcsBadBytes(CodePage::kGbk, gbk, offset);
    out.Append(kQuestion, bad);
    return bad;
  });
  return out.Take();
}

// iconv stops either at bad UTF-8 (one '?' for the U+FFFD it decodes to) or at
// a well-formed character GBK lacks (one '?' per UTF-16 unit).
std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  iconv_t* cd = ThreadDescriptor(kUtf8ToGbk);
  if (cd == nullptr) return AsciiOnlyToAscii(utf8);
  OutBuffer<char> out(utf8.size());
  RunIconv(*cd, utf8, out, [&](size_t offset) -> size_t {
    Utf8Span span = Utf8SequenceAt(utf8, offset);
    out.Append(kQuestion, span.complete && span.length == 4 ? 2 : 1);
    return span.length;
  });
  return out.Take();
}

}  // namespace platform

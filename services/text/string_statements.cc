#include "services/text/string_statements.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/arguments.h"
#include "engine/line_random.h"
#include "engine/statement_args.h"
#include "platform/gbk.h"
#include "platform/text_trim.h"
#include "services/text/string_numbers.h"

namespace services {

using engine::BuildStatement;
using engine::TruncateDouble;
using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::StatementBuild;
using engine::TagOper;
using engine::TagVar;

namespace {

// Result codes of the statements that change a string in place.
constexpr int32_t kReadOnly = -1;
constexpr int32_t kNotString = -2;

int32_t CheckWritableString(const TagVar& v) {
  if (v.readOnly != 0) return kReadOnly;
  if (v.kind != engine::kVarString) return kNotString;
  return 0;
}

// --- conversions and measures ---------------------------------------------

// "Type(" (value, result variable): the value's kind.
class TagType : public TagOper {
 public:
  explicit TagType(const StatementBuild& b) : value_(Arg(b, 0)), result_(Arg(b, 1)) {}
  int32_t Execute() override {
    const int32_t kind = value_->kind;
    result_->AssignInt(kind);
    return kind;
  }

 private:
  TagVar* value_;
  TagVar* result_;
};

// "Int(" (value, result variable).
class TagInt : public TagOper {
 public:
  explicit TagInt(const StatementBuild& b) : value_(Arg(b, 0)), result_(Arg(b, 1)) {}
  int32_t Execute() override {
    const int32_t v =
        value_->kind == engine::kVarString ? IntOfText(ArgText(*value_)) : value_->GetInt();
    result_->AssignInt(v);
    return v;
  }

 private:
  TagVar* value_;
  TagVar* result_;
};

// "Float(" (value, result variable); kind 'v': the target gets the double.
class TagFloat : public TagOper {
 public:
  explicit TagFloat(const StatementBuild& b) : value_(Arg(b, 0)), result_(Arg(b, 1)) {}
  int32_t Execute() override {
    const double d =
        value_->kind == engine::kVarString ? FloatOfText(ArgText(*value_)) : value_->GetFloat();
    result_->AssignFloat(d);
    StoreFloat(*this, d);
    return TruncateDouble(d);
  }

 private:
  TagVar* value_;
  TagVar* result_;
};

// "Str(" (value, width, precision, destination); kind 'v'. Width and
// precision are integers (their integer fields).
class TagStr : public TagOper {
 public:
  explicit TagStr(const StatementBuild& b)
      : value_(Arg(b, 0)), width_(Arg(b, 1)), precision_(Arg(b, 2)), dest_(Arg(b, 3)) {}
  int32_t Execute() override {
    std::string text;
    if (value_->kind == engine::kVarString) {
      text.assign(value_->Bytes());
    } else if (value_->kind == engine::kVarMap) {
      value_->ToText(text, true);
    } else {
      const double d = value_->kind == engine::kVarInt ? static_cast<double>(value_->intValue)
                                                       : value_->floatValue;
      if (!FormatFloatField(d, ArgStoredInt(*width_), ArgStoredInt(*precision_), &text)) {
        return -1;
      }
    }
    dest_->AssignString(text);
    StoreText(*this, text);
    return 0;
  }

 private:
  TagVar* value_;
  TagVar* width_;
  TagVar* precision_;
  TagVar* dest_;
};

// "Hex(" (value, width, destination).
class TagHex : public TagOper {
 public:
  explicit TagHex(const StatementBuild& b)
      : value_(Arg(b, 0)), width_(Arg(b, 1)), dest_(Arg(b, 2)) {}
  int32_t Execute() override {
    std::string text;
    if (!FormatHexField(static_cast<uint32_t>(value_->GetInt()), ArgStoredInt(*width_), &text)) {
      return -1;
    }
    dest_->AssignString(text);
    return 0;
  }

 private:
  TagVar* value_;
  TagVar* width_;
  TagVar* dest_;
};

// "Strlen(" and "Len(" (value, result variable).
class TagStrlen : public TagOper {
 public:
  explicit TagStrlen(const StatementBuild& b) : value_(Arg(b, 0)), result_(Arg(b, 1)) {}
  int32_t Execute() override {
    const int32_t n = value_->Length();
    result_->AssignInt(n);
    return n;
  }

 private:
  TagVar* value_;
  TagVar* result_;
};

// "Asc(" (string, position, result variable): the byte at the position,
// the terminator included; -1 for a position outside 0..length.
class TagAsc : public TagOper {
 public:
  explicit TagAsc(const StatementBuild& b)
      : value_(Arg(b, 0)), position_(Arg(b, 1)), result_(Arg(b, 2)) {}
  int32_t Execute() override {
    if (value_->kind != engine::kVarString) return -1;
    const int32_t pos = ArgInt(*position_);
    const std::string_view bytes = value_->Bytes();
    if (pos < 0 || static_cast<size_t>(pos) > bytes.size()) return -1;
    const int32_t c =
        static_cast<size_t>(pos) == bytes.size() ? 0 : static_cast<unsigned char>(bytes[pos]);
    result_->AssignInt(c);
    return c;
  }

 private:
  TagVar* value_;
  TagVar* position_;
  TagVar* result_;
};

// "Chr(" (code, destination); kind 'v'.
class TagChr : public TagOper {
 public:
  explicit TagChr(const StatementBuild& b) : code_(Arg(b, 0)), dest_(Arg(b, 1)) {}
  int32_t Execute() override {
    const int32_t code = ArgInt(*code_);
    const char c = static_cast<char>(code & 0xFF);
    const std::string_view text(&c, c == '\0' ? 0 : 1);
    dest_->AssignString(text);
    StoreText(*this, text);
    return code;
  }

 private:
  TagVar* code_;
  TagVar* dest_;
};

// "Rand(" (result variable): the line thread's generator.
class TagRand : public TagOper {
 public:
  explicit TagRand(const StatementBuild& b) : result_(Arg(b, 0)) {}
  int32_t Execute() override {
    const int32_t r = engine::NextLineRandom();
    result_->AssignInt(r);
    return r;
  }

 private:
  TagVar* result_;
};

// "Substr(" (string, start, count, destination); kind 'v'. Start and
// count are integers; a count past the end takes the rest of the string.
class TagSubstr : public TagOper {
 public:
  explicit TagSubstr(const StatementBuild& b)
      : value_(Arg(b, 0)), start_(Arg(b, 1)), count_(Arg(b, 2)), dest_(Arg(b, 3)) {}
  int32_t Execute() override {
    const int64_t start = ArgStoredInt(*start_);
    int64_t count = ArgStoredInt(*count_);
    const int64_t size = static_cast<int64_t>(value_->Bytes().size());
    if (start + count > size) count = size - start;
    if (value_->kind != engine::kVarString || start < 0 || count < 1) {
      dest_->AssignString("");
      StoreText(*this, "");
      return -2;
    }
    // A copy first: the destination may be the source itself.
    const std::string piece(value_->Bytes().substr(static_cast<size_t>(start),
                                                   static_cast<size_t>(count)));
    dest_->AssignString(piece);
    StoreText(*this, piece);
    return 0;
  }

 private:
  TagVar* value_;
  TagVar* start_;
  TagVar* count_;
  TagVar* dest_;
};

// --- searching and comparing ----------------------------------------------

// The first occurrence of pattern in text (both NUL-terminated texts), as
// strstr finds it: its offset, or -1.
int64_t FindText(const char* text, const char* pattern) {
  const char* hit = std::strstr(text, pattern);
  return hit == nullptr ? -1 : hit - text;
}

// "Strstr(" (text, pattern, result variable).
class TagStrstr : public TagOper {
 public:
  explicit TagStrstr(const StatementBuild& b)
      : text_(Arg(b, 0)), pattern_(Arg(b, 1)), result_(Arg(b, 2)) {}
  int32_t Execute() override {
    const int64_t at = FindText(ArgText(*text_), ArgText(*pattern_));
    const int32_t r = static_cast<int32_t>(at + 1);
    result_->AssignInt(r);
    return r;
  }

 private:
  TagVar* text_;
  TagVar* pattern_;
  TagVar* result_;
};

// "StrstrEx(" (text, start offset, pattern, result variable): a start
// outside 0..length gives 0 and leaves the result variable alone.
class TagStrstrEx : public TagOper {
 public:
  explicit TagStrstrEx(const StatementBuild& b)
      : text_(Arg(b, 0)), start_(Arg(b, 1)), pattern_(Arg(b, 2)), result_(Arg(b, 3)) {}
  int32_t Execute() override {
    if (text_->kind != engine::kVarString) return 0;
    const int32_t start = ArgInt(*start_);
    if (start < 0 || static_cast<size_t>(start) > text_->Bytes().size()) return 0;
    const int64_t at = FindText(text_->text() + start, ArgText(*pattern_));
    const int32_t r = at < 0 ? 0 : static_cast<int32_t>(at + start + 1);
    result_->AssignInt(r);
    return r;
  }

 private:
  TagVar* text_;
  TagVar* start_;
  TagVar* pattern_;
  TagVar* result_;
};

int FoldAscii(unsigned char c) { return platform::IsAsciiUpper(c) ? c + 32 : c; }

// Compares n bytes (ASCII letters folded when fold); the sign: -1, 0, 1.
int32_t CompareBytes(const char* a, const char* b, size_t n, bool fold) {
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<unsigned char>(a[i]);
    int y = static_cast<unsigned char>(b[i]);
    if (fold) {
      x = FoldAscii(static_cast<unsigned char>(x));
      y = FoldAscii(static_cast<unsigned char>(y));
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// "Strcmp(" (first, second, length, ignore-case flag): -1, 0, 1, or -2
// when a fixed length does not fit both strings (terminators counted).
class TagStrcmp : public TagOper {
 public:
  explicit TagStrcmp(const StatementBuild& b)
      : first_(Arg(b, 0)), second_(Arg(b, 1)), length_(Arg(b, 2)), fold_(Arg(b, 3)) {}
  int32_t Execute() override {
    const bool fold = ArgInt(*fold_) != 0;
    const int32_t n = ArgInt(*length_);
    if (n <= 0) {
      const char* a = ArgText(*first_);
      const char* b = ArgText(*second_);
      // Both texts end with their zero bytes: comparing up to the shorter
      // one's terminator decides.
      const size_t len = std::min(std::strlen(a), std::strlen(b)) + 1;
      return CompareBytes(a, b, len, fold);
    }
    if (first_->kind != engine::kVarString || second_->kind != engine::kVarString) return -2;
    const size_t need = static_cast<size_t>(n);
    // Each value holds its bytes and one terminator.
    if (first_->Bytes().size() + 1 < need || second_->Bytes().size() + 1 < need) return -2;
    return CompareBytes(first_->text(), second_->text(), need, fold);
  }

 private:
  TagVar* first_;
  TagVar* second_;
  TagVar* length_;
  TagVar* fold_;
};

// --- changing strings in place ------------------------------------------

// "Trim(" (variable).
class TagTrim : public TagOper {
 public:
  explicit TagTrim(const StatementBuild& b) : var_(Arg(b, 0)) {}
  int32_t Execute() override {
    if (int32_t r = CheckWritableString(*var_); r != 0) return r;
    const int len = static_cast<int>(var_->Bytes().size());
    const int kept = platform::TrimBlanks(var_->MutableText(), len) - 1;
    if (kept >= 0 && kept <= len) var_->SetLength(static_cast<size_t>(kept));
    return 0;
  }

 private:
  TagVar* var_;
};

// "Upper(" and "Lower(" (variable): ASCII letters change; a GBK pair is
// stepped over whole, so its trail byte (which may look like a letter)
// stays.
class TagChangeCase : public TagOper {
 public:
  TagChangeCase(const StatementBuild& b, bool upper) : var_(Arg(b, 0)), upper_(upper) {}
  int32_t Execute() override {
    if (int32_t r = CheckWritableString(*var_); r != 0) return r;
    char* text = var_->MutableText();
    const std::string_view bytes(text, var_->Bytes().size());
    for (size_t i = 0; i < bytes.size();) {
      const size_t n = platform::GbkCharLength(bytes, i);
      if (n == 1) text[i] = upper_ ? platform::AsciiUpper(text[i]) : platform::AsciiLower(text[i]);
      i += n;
    }
    return 0;
  }

 private:
  TagVar* var_;
  bool upper_;
};

class TagUpper : public TagChangeCase {
 public:
  explicit TagUpper(const StatementBuild& b) : TagChangeCase(b, true) {}
};
class TagLower : public TagChangeCase {
 public:
  explicit TagLower(const StatementBuild& b) : TagChangeCase(b, false) {}
};

// "Replstr(" (variable, position, length, source): position and length
// are integers. A source byte landing on the variable's terminator is not
// kept: the value still ends with its zero byte.
class TagReplstr : public TagOper {
 public:
  explicit TagReplstr(const StatementBuild& b)
      : var_(Arg(b, 0)), position_(Arg(b, 1)), length_(Arg(b, 2)), source_(Arg(b, 3)) {}
  int32_t Execute() override {
    if (int32_t r = CheckWritableString(*var_); r != 0) return r;
    if (source_->kind != engine::kVarString) return kNotString;
    const int64_t pos = ArgStoredInt(*position_);
    const int64_t len = ArgStoredInt(*length_);
    const int64_t size = static_cast<int64_t>(var_->Bytes().size());
    const int64_t source_size = static_cast<int64_t>(source_->Bytes().size());
    if (len < 1 || pos < 0 || pos + len > size + 1 || len > source_size + 1) return kNotString;
    // The source's terminator may be the last byte copied; overlapping
    // source and variable (the same value) is allowed.
    std::memmove(var_->MutableText() + pos, source_->text(), static_cast<size_t>(len));
    var_->MutableText()[size] = '\0';
    return 0;
  }

 private:
  TagVar* var_;
  TagVar* position_;
  TagVar* length_;
  TagVar* source_;
};

// "Repeatstr(" (destination, source, count): count is an integer. -3 when
// the result would pass the longest string a value holds (nothing is
// allocated).
class TagRepeatstr : public TagOper {
 public:
  explicit TagRepeatstr(const StatementBuild& b)
      : dest_(Arg(b, 0)), source_(Arg(b, 1)), count_(Arg(b, 2)) {}
  int32_t Execute() override {
    if (dest_->readOnly != 0) return -1;
    const int32_t count = ArgStoredInt(*count_);
    if (count <= 0) return -2;
    TagVar byte_unit;
    const TagVar* unit = source_;
    if (source_->kind != engine::kVarString) {
      const char c = static_cast<char>(source_->GetInt() & 0xFF);
      byte_unit.SetBytes(&c, 1);
      unit = &byte_unit;
    }
    const int64_t total = static_cast<int64_t>(unit->Bytes().size()) * count;
    if (total > engine::kMaxStringBytes) return -3;
    return dest_->RepeatAssign(*unit, count) < 0 ? -3 : 0;
  }

 private:
  TagVar* dest_;
  TagVar* source_;
  TagVar* count_;
};

// --- maps -----------------------------------------------------------------

// The pieces of "AnlyStr(": the text cut at each separator; a separator of
// one blank cuts at every run of blanks and tabs; no separator gives the
// whole text.
void SplitPieces(std::string_view text, std::string_view separator,
                 std::vector<std::string_view>* pieces) {
  pieces->clear();
  if (separator.empty()) {
    pieces->push_back(text);
    return;
  }
  if (separator == " ") {
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
      if (!platform::IsAsciiBlank(text[i])) {
        ++i;
        continue;
      }
      pieces->push_back(text.substr(start, i - start));
      while (i < text.size() && platform::IsAsciiBlank(text[i])) ++i;
      start = i;
    }
    pieces->push_back(text.substr(start));
    return;
  }
  size_t start = 0;
  for (size_t hit; (hit = text.find(separator, start)) != std::string_view::npos;) {
    pieces->push_back(text.substr(start, hit - start));
    start = hit + separator.size();
  }
  pieces->push_back(text.substr(start));
}

// "AnlyStr(" (text, separator, map variable): piece i goes under the
// integer key i, counted from 0.
class TagAnlyStr : public TagOper {
 public:
  explicit TagAnlyStr(const StatementBuild& b)
      : text_(Arg(b, 0)), separator_(Arg(b, 1)), map_(Arg(b, 2)) {}
  int32_t Execute() override {
    if (text_->kind != engine::kVarString || separator_->kind != engine::kVarString) return 0;
    std::vector<std::string_view> pieces;
    // Copies: the map variable may be the text or the separator itself.
    const std::string text(text_->Bytes());
    const std::string separator(separator_->Bytes());
    SplitPieces(text, separator, &pieces);
    TagVar key;
    for (size_t i = 0; i < pieces.size(); ++i) {
      key.SetInt(static_cast<int32_t>(i));
      TagVar* element = map_->Element(key);
      if (element == nullptr) return static_cast<int32_t>(i);
      element->AssignString(pieces[i]);
    }
    return static_cast<int32_t>(pieces.size());
  }

 private:
  TagVar* text_;
  TagVar* separator_;
  TagVar* map_;
};

// "GetMapItem(" (map, position, key variable, value variable).
class TagGetMapItem : public TagOper {
 public:
  explicit TagGetMapItem(const StatementBuild& b)
      : map_(Arg(b, 0)), position_(Arg(b, 1)), key_(Arg(b, 2)), value_(Arg(b, 3)) {}
  int32_t Execute() override {
    if (map_->kind != engine::kVarMap) return -1;
    const int32_t pos = ArgInt(*position_);
    if (pos < 0) return -2;
    const int32_t r = map_->GetItem(pos, *key_, *value_);
    return r < 0 ? r : pos;
  }

 private:
  TagVar* map_;
  TagVar* position_;
  TagVar* key_;
  TagVar* value_;
};

}  // namespace

void RegisterStringStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("Type(", &BuildStatement<TagType>);
  r.Register("Int(", &BuildStatement<TagInt>);
  r.Register("Float(", &BuildStatement<TagFloat>);
  r.Register("Str(", &BuildStatement<TagStr>);
  r.Register("Hex(", &BuildStatement<TagHex>);
  r.Register("Strlen(", &BuildStatement<TagStrlen>);
  r.Register("Len(", &BuildStatement<TagStrlen>);
  r.Register("Substr(", &BuildStatement<TagSubstr>);
  r.Register("Asc(", &BuildStatement<TagAsc>);
  r.Register("Chr(", &BuildStatement<TagChr>);
  r.Register("Rand(", &BuildStatement<TagRand>);
  r.Register("Strstr(", &BuildStatement<TagStrstr>);
  r.Register("StrstrEx(", &BuildStatement<TagStrstrEx>);
  r.Register("Strcmp(", &BuildStatement<TagStrcmp>);
  r.Register("Trim(", &BuildStatement<TagTrim>);
  r.Register("Upper(", &BuildStatement<TagUpper>);
  r.Register("Lower(", &BuildStatement<TagLower>);
  r.Register("Replstr(", &BuildStatement<TagReplstr>);
  r.Register("Repeatstr(", &BuildStatement<TagRepeatstr>);
  r.Register("AnlyStr(", &BuildStatement<TagAnlyStr>);
  r.Register("GetMapItem(", &BuildStatement<TagGetMapItem>);
}

}  // namespace services

#include "services/text/encoding_statements.h"

#include <cstdint>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "platform/codepage.h"
#include "services/text/percent_base64.h"

namespace services {

using engine::BuildStatement;
using engine::TruncateDouble;
using engine::ArgInt;
using engine::StatementBuild;
using engine::TagOper;
using engine::TagVar;
using platform::CodePage;

namespace {

constexpr int32_t kModeUtf8 = 1;
constexpr int32_t kModeUtf7 = 2;
constexpr int32_t kModePercent = 3;
constexpr int32_t kModeBase64 = 4;

// The result of a statement refused for a read-only destination.
constexpr int32_t kReadOnlyDestination = -100;

// Room the UTF-8 and UTF-7 encoders get: 4 bytes per UTF-16 unit, the
// terminating unit counted.
constexpr size_t kBytesPerUnit = 4;

// The text a mode other than Base64 encodes: the value's text form, up to
// its first zero byte (the conversions work on terminated texts).
std::string TextToEncode(const TagVar& v) {
  std::string text = engine::ArgConvertedText(v);
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

// "StrToUnicode(" (source, mode, destination).
class TagStrToUnicode : public TagOper {
 public:
  explicit TagStrToUnicode(const StatementBuild& b)
      : source_(Arg(b, 0)), mode_(Arg(b, 1)), dest_(Arg(b, 2)) {}
  int32_t Execute() override {
    if (dest_->readOnly != 0) return kReadOnlyDestination;
    const int32_t mode = ArgInt(*mode_);
    if (mode == kModeBase64) {
      // The whole byte string, zero bytes included; a value that is not a
      // string has no bytes.
      const std::string_view bytes = source_->Bytes();
      if (bytes.empty()) return 0;
      const std::string encoded = Base64Encode(bytes);
      dest_->AssignString(encoded);
      return static_cast<int32_t>(encoded.size());
    }
    const std::string text = TextToEncode(*source_);
    if (text.empty()) return 0;
    if (mode == kModePercent) {
      const std::string escaped = PercentEscape(text);
      dest_->AssignString(escaped);
      return static_cast<int32_t>(escaped.size());
    }
    const std::u16string units = platform::ToUtf16(CodePage::kGbk, text);
    if (mode == kModeUtf8 || mode == kModeUtf7) {
      if (units.empty()) return 0;
      const std::string out =
          platform::FromUtf16(mode == kModeUtf8 ? CodePage::kUtf8 : CodePage::kUtf7, units);
      if (out.empty() || out.size() + 1 > (units.size() + 1) * kBytesPerUnit) return 0;
      dest_->AssignString(out);
      return static_cast<int32_t>(out.size() + 1);
    }
    const std::string le = platform::FromUtf16(CodePage::kUtf16Le, units);
    dest_->AssignString(le);
    return static_cast<int32_t>(le.size());
  }

 private:
  TagVar* source_;
  TagVar* mode_;
  TagVar* dest_;
};

// "UnicodeToStr(" (mode, source, destination).
class TagUnicodeToStr : public TagOper {
 public:
  explicit TagUnicodeToStr(const StatementBuild& b)
      : mode_(Arg(b, 0)), source_(Arg(b, 1)), dest_(Arg(b, 2)) {}
  int32_t Execute() override {
    if (dest_->readOnly != 0) return kReadOnlyDestination;
    const int32_t mode = ArgInt(*mode_);
    if (mode == kModePercent) {
      const std::string bytes = PercentUnescape(engine::ArgConvertedText(*source_));
      // The destination takes the result as a text: up to a zero byte.
      dest_->SetString(bytes.c_str());
      return static_cast<int32_t>(bytes.size());
    }
    const std::string_view source = source_->Bytes();
    if (mode == kModeBase64) {
      std::string bytes;
      if (!Base64Decode(source, &bytes)) return -1;
      if (!bytes.empty()) dest_->AssignString(bytes);
      return static_cast<int32_t>(bytes.size());
    }
    std::u16string units;
    if (mode == kModeUtf8 || mode == kModeUtf7) {
      units = platform::ToUtf16(mode == kModeUtf8 ? CodePage::kUtf8 : CodePage::kUtf7, source);
    }
    if (units.empty() || units[0] == 0) units = platform::ToUtf16(CodePage::kUtf16Le, source);
    const std::string gbk = platform::FromUtf16(CodePage::kGbk, units);
    dest_->SetString(gbk.c_str());
    return dest_->Length();
  }

 private:
  TagVar* mode_;
  TagVar* source_;
  TagVar* dest_;
};

// "IntToNetstr(" (value, size, destination).
class TagIntToNetstr : public TagOper {
 public:
  explicit TagIntToNetstr(const StatementBuild& b)
      : value_(Arg(b, 0)), size_(Arg(b, 1)), dest_(Arg(b, 2)) {}
  int32_t Execute() override {
    const int32_t size = ArgInt(*size_);
    if (size != 2 && size != 4) return -1;
    const uint32_t v = static_cast<uint32_t>(value_->GetInt());
    char bytes[4];
    for (int32_t i = 0; i < size; ++i) {
      bytes[i] = static_cast<char>((v >> (8 * (size - 1 - i))) & 0xFF);
    }
    dest_->AssignString(std::string_view(bytes, static_cast<size_t>(size)));
    return 0;
  }

 private:
  TagVar* value_;
  TagVar* size_;
  TagVar* dest_;
};

// "NetstrToInt(" (source, position, size, destination): -3 also for a
// position before the source.
class TagNetstrToInt : public TagOper {
 public:
  explicit TagNetstrToInt(const StatementBuild& b)
      : source_(Arg(b, 0)), position_(Arg(b, 1)), size_(Arg(b, 2)), dest_(Arg(b, 3)) {}
  int32_t Execute() override {
    if (source_->kind != engine::kVarString) return -1;
    const int32_t size = ArgInt(*size_);
    if (size != 2 && size != 4) return -2;
    const int64_t pos = ArgInt(*position_);
    // The terminator may be the last byte read.
    const int64_t available = static_cast<int64_t>(source_->Bytes().size()) + 1;
    if (pos < 0 || pos + size > available) return -3;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(source_->text()) + pos;
    uint32_t v = 0;
    for (int32_t i = 0; i < size; ++i) v = (v << 8) | p[i];
    const int32_t result =
        size == 2 ? static_cast<int16_t>(static_cast<uint16_t>(v)) : static_cast<int32_t>(v);
    dest_->AssignInt(result);
    return 0;
  }

 private:
  TagVar* source_;
  TagVar* position_;
  TagVar* size_;
  TagVar* dest_;
};

}  // namespace

void RegisterEncodingStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("StrToUnicode(", &BuildStatement<TagStrToUnicode>);
  r.Register("UnicodeToStr(", &BuildStatement<TagUnicodeToStr>);
  r.Register("IntToNetstr(", &BuildStatement<TagIntToNetstr>);
  r.Register("NetstrToInt(", &BuildStatement<TagNetstrToInt>);
}

}  // namespace services

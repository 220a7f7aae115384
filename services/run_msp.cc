#include "services/run_msp.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "engine/arguments.h"
#include "engine/print_output.h"
#include "engine/statement_args.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/text_mode.h"

namespace services {

using engine::ArgsStatement;
using engine::StatementBuild;

namespace {

// The largest page read.
constexpr int64_t kMaxPageBytes = INT32_MAX;
// Pages are read in pieces of at most this many bytes.
constexpr size_t kPageReadPiece = 1024;

constexpr std::string_view kScriptHead =
    "_RawHtml = 0;\n"
    "GetShareMem(_lineNo, \"_RawHtml\", _RawHtml);\n"
    "_GET = 0;\n"
    "GetShareMem(_lineNo, \"_GET\", _GET);\n"
    "_POST = 0;\n"
    "GetShareMem(_lineNo, \"_POST\", _POST);\n"
    "_COOKIE = 0;\n"
    "GetShareMem(_lineNo, \"_COOKIE\", _COOKIE);\n";
constexpr std::string_view kScriptEnd = "return(0);\n";

enum MspResult : int32_t { kMspDone = 0, kMspOpenError = -1, kMspReadError = -2, kMspOutError = -3 };

// The scan of a page: the current part starts at part_; the four states.
class PageScanner {
 public:
  PageScanner(std::string_view page, std::string* script, std::vector<std::string>* pieces)
      : page_(page), script_(script), pieces_(pieces) {}

  void Run() {
    while (at_ < page_.size()) {
      if (!inCode_) {
        ScanRaw();
      } else {
        ScanCode();
      }
    }
    if (inCode_) {
      EndCode(page_.size());
    } else {
      EndPiece(page_.size());
    }
  }

 private:
  bool At(size_t i, char c) const { return i < page_.size() && page_[i] == c; }

  void ScanRaw() {
    if (At(at_, '<') && At(at_ + 1, '%')) {
      EndPiece(at_);
      PassMark(/*in_code=*/true);
      return;
    }
    ++at_;
  }

  void ScanCode() {
    const char c = page_[at_];
    if (lineComment_) {
      lineComment_ = c != '\n';
    } else if (blockComment_) {
      blockComment_ = !(c == '*' && At(at_ + 1, '/'));
    } else if (!inString_ && c == '/' && (At(at_ + 1, '/') || At(at_ + 1, '*'))) {
      (At(at_ + 1, '/') ? lineComment_ : blockComment_) = true;
      ++at_;
    } else if (c == '\\' && At(at_ + 1, '"')) {
      ++at_;
    } else if (c == '"') {
      inString_ = !inString_;
    } else if (!inString_ && c == '%' && At(at_ + 1, '>')) {
      EndCode(at_);
      PassMark(/*in_code=*/false);
      return;
    }
    ++at_;
  }

  // Steps over a two-byte mark; the next part starts after it.
  void PassMark(bool in_code) {
    inCode_ = in_code;
    at_ += 2;
    part_ = at_;
  }

  void EndPiece(size_t end) {
    pieces_->emplace_back(page_.substr(part_, end - part_));
    *script_ += "Print(_RawHtml[" + std::to_string(pieces_->size() - 1) + "]);\n";
  }

  void EndCode(size_t end) {
    const std::string_view code = page_.substr(part_, end - part_);
    *script_ += code;
    if (!code.empty() && code.back() != '\n') *script_ += '\n';
  }

  std::string_view page_;
  std::string* script_;
  std::vector<std::string>* pieces_;
  size_t at_ = 0;
  size_t part_ = 0;
  bool inCode_ = false;
  bool lineComment_ = false;
  bool blockComment_ = false;
  bool inString_ = false;
};

// The page's text as a text-mode stream reads it; nullopt for an empty or
// unreadable page. *opened tells whether the page could be opened.
std::optional<std::string> ReadPage(std::string_view path, bool* opened) {
  const platform::FileBytes raw = platform::ReadScriptFile(path, kMaxPageBytes, kPageReadPiece);
  *opened = raw.opened;
  if (!raw.bytes) return std::nullopt;
  std::string text;
  platform::ReadTextMode(*raw.bytes, /*more_follows=*/false, &text);
  return text;
}

// "MspToVts(" (page file, script file, piece map variable).
class TagRunMsp : public ArgsStatement {
 public:
  explicit TagRunMsp(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const int32_t r = Convert();
    if (r != kMspDone) PrintError(r);
    return r;
  }

 private:
  int32_t Convert() {
    if (Argument(0).kind != engine::kVarString || Argument(1).kind != engine::kVarString) {
      return kMspOpenError;
    }
    bool opened = false;
    const std::optional<std::string> page = ReadPage(engine::ArgText(Argument(0)), &opened);
    if (!opened) return kMspOpenError;
    if (!page) return kMspReadError;
    FILE* out = platform::OpenHostFile(engine::ArgText(Argument(1)), "wb");
    if (out == nullptr) return kMspOutError;
    std::string script;
    std::vector<std::string> pieces;
    ConvertServerPage(*page, &script, &pieces);
    platform::WriteTextMode(out, script);
    fclose(out);
    engine::TagVar& map = Argument(2);
    for (size_t n = 0; n < pieces.size(); ++n) {
      engine::TagVar key;
      key.SetInt(static_cast<int32_t>(n));
      map.Element(key)->AssignString(pieces[n]);
    }
    return kMspDone;
  }

  void PrintError(int32_t r) {
    if (Compiling() == nullptr) return;
    engine::TStdOut* out = engine::ActingPrintOutput(*Compiling());
    if (out == nullptr) return;
    out->Print(0, r == kMspOpenError   ? "Open error"
                  : r == kMspReadError ? "Read error"
                                       : "Open Out-File error");
  }
};

}  // namespace

void ConvertServerPage(std::string_view page, std::string* script,
                       std::vector<std::string>* pieces) {
  script->assign(kScriptHead);
  PageScanner(page, script, pieces).Run();
  *script += kScriptEnd;
}

void RegisterMspStatement() {
  engine::Statements().Register("MspToVts(", &engine::BuildStatement<TagRunMsp>);
}

}  // namespace services

#include "services/files/server_page.h"

namespace services {
namespace {

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

}  // namespace

void ConvertServerPage(std::string_view page, std::string* script,
                       std::vector<std::string>* pieces) {
  script->assign(kScriptHead);
  PageScanner(page, script, pieces).Run();
  *script += kScriptEnd;
}

}  // namespace services

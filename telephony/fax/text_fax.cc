#include "telephony/fax/text_fax.h"

#include "frame/log.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"

namespace telephony {

namespace {

constexpr size_t kLeadingBlanks = 5;
constexpr size_t kTabBlanks = 4;
// The drawn text stops once it holds more characters than this.
constexpr size_t kMaxDrawnChars = 216;

constexpr uint8_t kWhiteRow[kFaxLineBytes] = {};

// The text line that starts at *pos: at most kFaxTextLineBytes bytes,
// ending after a line feed.
std::string_view NextTextLine(std::string_view text, size_t* pos) {
  std::string_view rest = text.substr(*pos, kFaxTextLineBytes);
  const size_t lf = rest.find('\n');
  if (lf != std::string_view::npos) rest = rest.substr(0, lf + 1);
  *pos += rest.size();
  return rest;
}

// What is drawn of a text line: five blanks, then its bytes up to CR, LF or
// NUL, a TAB as four blanks.
std::string DrawnText(std::string_view line) {
  std::string drawn(kLeadingBlanks, ' ');
  for (const char c : line) {
    if (drawn.size() > kMaxDrawnChars || c == '\r' || c == '\n' || c == '\0') break;
    if (c == '\t') {
      drawn.append(kTabBlanks, ' ');
    } else {
      drawn += c;
    }
  }
  return drawn;
}

}  // namespace

FaxTextKind ClassifyFaxText(std::string_view text) {
  const std::string_view probe = text.substr(0, kFaxTextProbeBytes);
  if (probe.substr(0, 2) == "\xFF\xFE") return FaxTextKind::kUtf16;
  if (probe.substr(0, 3) == "\xEF\xBB\xBF") return FaxTextKind::kUtf8;
  for (const char c : probe) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && b <= 0x9F) return FaxTextKind::kOther;
  }
  return FaxTextKind::kGb;
}

TagTxtCvtFax::TagTxtCvtFax(std::string_view dir, std::string_view text, std::string_view fax) {
  status_ = Convert(dir, text, fax);
  if (status_ != kDone && encoder_ != nullptr) encoder_->AbandonFaxFile();
}

TagTxtCvtFax::~TagTxtCvtFax() = default;

int TagTxtCvtFax::Convert(std::string_view dir, std::string_view text, std::string_view fax) {
  encoder_ = std::make_unique<TagCvtFax>(dir);
  if (encoder_->status() != TagCvtFax::kLoaded) return kTableNotLoaded;
  renderer_ = std::make_unique<DrawMem>(dir);
  if (renderer_->status() != DrawMem::kLoaded) return kFontsNotLoaded;

  platform::FileBytes read =
      platform::ReadScriptFile(text, kMaxFaxTextBytes, 0, platform::EmptyFile::kGivesEmpty);
  if (!read.bytes) {
    if (read.opened) {
      frame::LogAlwaysF("TagTxtCvtFax: %.*s is no text of at most %lld bytes",
                        static_cast<int>(text.size()), text.data(),
                        static_cast<long long>(kMaxFaxTextBytes));
    }
    return kFileNotUsable;
  }
  kind_ = ClassifyFaxText(*read.bytes);
  switch (kind_) {
    case FaxTextKind::kGb:
      text_ = std::move(*read.bytes);
      break;
    case FaxTextKind::kUtf16:
      text_ = platform::FromUtf16(
          platform::CodePage::kGbk,
          platform::ToUtf16(platform::CodePage::kUtf16Le, std::string_view(*read.bytes).substr(2)));
      break;
    case FaxTextKind::kUtf8:
    case FaxTextKind::kOther:
      return kFileNotUsable;
  }

  // Creating the fax file empties it: it must not be the text itself.
  if (platform::SameScriptFile(text, fax)) {
    frame::LogAlwaysF("TagTxtCvtFax: the fax file %.*s is the text file %.*s",
                      static_cast<int>(fax.size()), fax.data(), static_cast<int>(text.size()),
                      text.data());
    return kFileNotUsable;
  }
  if (!encoder_->OpenFaxFile(fax)) return kFileNotUsable;
  for (size_t pos = 0; pos < text_.size();) {
    if (!WriteTextLine(NextTextLine(text_, &pos))) return kFileNotUsable;
  }
  const uint32_t lines = encoder_->scanLines();
  if (!encoder_->CloseFaxFile()) return kFileNotUsable;
  if (lines == 0) {
    frame::LogAlwaysF("TagTxtCvtFax: %.*s is empty: the fax page has no scan lines",
                      static_cast<int>(text.size()), text.data());
  }
  return kDone;
}

bool TagTxtCvtFax::WriteTextLine(std::string_view line) {
  renderer_->DrawTextLine(DrawnText(line));
  for (uint32_t r = 0; r < kGlyphRows; ++r) {
    if (encoder_->EncodeLine(renderer_->Row(r)) != TagCvtFax::kLineWritten) return false;
  }
  return encoder_->EncodeLine(kWhiteRow) == TagCvtFax::kLineWritten;
}

}  // namespace telephony

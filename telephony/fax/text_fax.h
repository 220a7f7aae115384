// TagTxtCvtFax: turns a text file into a one-page fax file. The constructor
// does the whole conversion with a TagCvtFax (code table, encoder, file
// writer) and a DrawMem (fonts, renderer) and leaves its status:
//    0  done
//   -1  code table "huffman.cod" not loaded (missing or malformed)
//   -2  fonts not loaded
//   -3  text or fax file not usable: not readable, larger than
//       kMaxFaxTextBytes, UTF-8 (EF BB BF) or "other" (a byte 0x80..0x9F in
//       its first 80 bytes), or the fax file could not be written or is
//       the text file itself (the same path, a link or another name of it)
// A refused text or a failed write leaves no fax file; a fax file that is
// the text file is left as it was.
//
// The text is GBK, or UTF-16LE marked FF FE, which is turned into GBK in
// memory. It is cut into text lines of at most 215 bytes each (ending
// after a line feed; a longer line goes on as the next text line); each is
// drawn as five blanks and its bytes up to CR, LF or NUL, a TAB as four
// blanks, and gives 17 scan lines: the 16 glyph rows and one white row.
//
// Thread rules: a conversion runs on the calling thread and owns its
// objects; any number may run at once.
#ifndef VTTEL_TELEPHONY_FAX_TEXT_FAX_H_
#define VTTEL_TELEPHONY_FAX_TEXT_FAX_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "telephony/fax/cvt_fax.h"
#include "telephony/fax/draw_mem.h"

namespace telephony {

// The largest text file converted (a page holds some 60 text lines).
inline constexpr int64_t kMaxFaxTextBytes = int64_t{16} << 20;
// The bytes of the text that decide its encoding.
inline constexpr size_t kFaxTextProbeBytes = 80;
inline constexpr size_t kFaxTextLineBytes = 215;
inline constexpr uint32_t kScanLinesPerTextLine = 17;

// The encoding of a text, from its first kFaxTextProbeBytes bytes.
enum class FaxTextKind : int { kOther = 0, kGb = 1, kUtf16 = 2, kUtf8 = 3 };
FaxTextKind ClassifyFaxText(std::string_view text);

class TagTxtCvtFax {
 public:
  static constexpr int kDone = 0;
  static constexpr int kTableNotLoaded = -1;
  static constexpr int kFontsNotLoaded = -2;
  static constexpr int kFileNotUsable = -3;

  // dir: the directory of "huffman.cod" and the fonts; text and fax: the
  // files. All three are script paths.
  TagTxtCvtFax(std::string_view dir, std::string_view text, std::string_view fax);
  ~TagTxtCvtFax();
  TagTxtCvtFax(const TagTxtCvtFax&) = delete;
  TagTxtCvtFax& operator=(const TagTxtCvtFax&) = delete;

  int status() const { return status_; }

 private:
  int Convert(std::string_view dir, std::string_view text, std::string_view fax);
  bool WriteTextLine(std::string_view line);

  std::unique_ptr<TagCvtFax> encoder_;
  std::unique_ptr<DrawMem> renderer_;
  std::string text_;  // the whole text, GBK
  FaxTextKind kind_ = FaxTextKind::kOther;
  int status_ = kFileNotUsable;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_TEXT_FAX_H_

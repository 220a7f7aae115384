// TagCvtFax: the line encoder and fax file writer of the text-to-fax
// conversion. It loads the Modified Huffman code table "huffman.cod"
// (fax_code_table.h), encodes 1728-pixel scan lines one-dimensionally and
// writes them as one page, either as a TIFF Class F file (T.4 compression,
// lowest bit first, 204 x 196 dpi; chosen when the upper-cased fax file
// name contains ".TIF") or as a raw fax file with the 2048-byte header
// "BIT  FAX".
//
// Every scan line is its codes, zero fill bits and the end-of-line code,
// at least 24 bytes in all and ending on a byte boundary; the image data
// starts with an end-of-line code (00 80) and ends with the return to
// control (six end-of-line codes). Bits are packed lowest bit first.
//
// Thread rules: one object is used by one thread.
#ifndef VTTEL_TELEPHONY_FAX_CVT_FAX_H_
#define VTTEL_TELEPHONY_FAX_CVT_FAX_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/fax/fax_code_table.h"

namespace telephony {

inline constexpr uint32_t kFaxLinePixels = 1728;
inline constexpr uint32_t kFaxLineBytes = kFaxLinePixels / 8;
// Where the image data starts in the two file forms.
inline constexpr uint32_t kFaxTiffDataOffset = 238;
inline constexpr uint32_t kFaxRawDataOffset = 2048;

class TagCvtFax {
 public:
  // Status of the code table.
  static constexpr int kLoaded = 0;
  static constexpr int kTableNotLoaded = -1;  // missing, unreadable or malformed
  // What EncodeLine gives.
  static constexpr int kLineWritten = 0;
  static constexpr int kLineNotAligned = 5;
  static constexpr int kLineNotWritten = -1;  // no open file, or the write failed

  // Loads dir's "huffman.cod" (dir is a script path; see FaxDirFile). A
  // table that is missing or malformed leaves status() -1 and a log line.
  explicit TagCvtFax(std::string_view table_dir);
  ~TagCvtFax();
  TagCvtFax(const TagCvtFax&) = delete;
  TagCvtFax& operator=(const TagCvtFax&) = delete;

  int status() const { return status_; }
  bool tiff() const { return tiff_; }
  uint32_t scanLines() const { return scanLines_; }

  // Creates the fax file (a script path) and writes the space of its
  // header and the first end-of-line code. REQUIRES: status() == 0.
  // False when the file cannot be created.
  bool OpenFaxFile(std::string_view fax_path);
  // Encodes one scan line of kFaxLineBytes bytes (leftmost pixel in the
  // high bit, 1 black) and writes it.
  int EncodeLine(const uint8_t* pixels);
  // Writes the return to control and the header and closes the file.
  // False when anything could not be written (the file is then removed).
  bool CloseFaxFile();
  // Closes and removes a file still open (a conversion that failed).
  void AbandonFaxFile();

 private:
  bool WriteHeader();

  std::unique_ptr<FaxCodeTable> table_;
  std::vector<uint8_t> lineBuffer_;  // one encoded scan line
  FILE* file_ = nullptr;
  std::string path_;
  uint32_t scanLines_ = 0;
  bool tiff_ = false;
  bool writeFailed_ = false;
  int status_ = kTableNotLoaded;
};

// Whether a fax file name asks for the TIFF form.
bool IsTiffFaxName(std::string_view fax_path);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_CVT_FAX_H_

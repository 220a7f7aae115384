#include "telephony/fax/cvt_fax.h"

#include <cstring>
#include <string>
#include <vector>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "platform/file_ops.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/fax/fax_files.h"

namespace telephony {

namespace {

// "huffman.cod" holds at most 65535 records of 38 bytes.
constexpr int64_t kMaxTableBytes = 2 + (65535 + 1) * int64_t{kFaxCodeRecordBytes};
// The encoder writes a line's codes in pieces of 160 bytes; fill bits then
// count from the last piece's end.
constexpr uint64_t kLinePieceBits = 1280;
// Fill bits bring the bits before the end-of-line code to 4 more than a
// multiple of 8, and to at least this many.
constexpr uint64_t kMinBitsBeforeEol = 180;
// The largest line: every pixel a run, each run a make-up and a
// terminating code of at most 16 bits, then fill bits and the end-of-line.
constexpr size_t kLineBufferBytes = 8192;
static_assert((kFaxLinePixels + 1) * 2 * kFaxCodeMaxBits / 8 + 64 < kLineBufferBytes);

constexpr uint8_t kFirstEol[] = {0x00, 0x80};
constexpr uint8_t kReturnToControl[] = {0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80};

// TIFF field types.
constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;
constexpr uint32_t kTiffDirectoryAt = 24;
constexpr uint32_t kTiffEntries = 16;
constexpr uint32_t kXResolutionAt = 8, kYResolutionAt = 16;
constexpr uint32_t kXDpi = 204, kYDpi = 196;
constexpr uint32_t kRawHeaderBytes = 32;

// Bits written lowest first into a byte buffer.
class LineBits {
 public:
  explicit LineBits(uint8_t* buffer) : buffer_(buffer) {}
  void Put(FaxCode code) {
    pending_ |= uint64_t{code.bits} << pendingCount_;
    pendingCount_ += code.length;
    bits_ += code.length;
    while (pendingCount_ >= 8) {
      buffer_[bytes_++] = static_cast<uint8_t>(pending_);
      pending_ >>= 8;
      pendingCount_ -= 8;
    }
  }
  void PutZeros(uint64_t count) {
    while (count > 0) {
      const uint32_t n = count > kFaxCodeMaxBits ? kFaxCodeMaxBits : static_cast<uint32_t>(count);
      Put(FaxCode{0, n});
      count -= n;
    }
  }
  uint64_t bits() const { return bits_; }
  size_t bytes() const { return bytes_; }

 private:
  uint8_t* buffer_;
  uint64_t pending_ = 0;
  uint32_t pendingCount_ = 0;
  uint64_t bits_ = 0;
  size_t bytes_ = 0;
};

// The end of the run of one colour that starts at pos.
uint32_t RunEnd(const uint8_t* pixels, uint32_t pos, bool black) {
  const uint8_t other = black ? 0xFF : 0x00;  // pixels of the run read as 0
  while (pos < kFaxLinePixels) {
    const uint32_t bit = pos & 7;
    const auto changed = static_cast<uint8_t>((pixels[pos >> 3] ^ other) << bit);
    if (changed != 0) return pos + static_cast<uint32_t>(__builtin_clz(changed)) - 24;
    pos = (pos | 7) + 1;
  }
  return kFaxLinePixels;
}

void PutRun(LineBits& out, const FaxCode* codes, uint32_t run) {
  if (run >= kFaxMakeUpStep) out.Put(codes[63 + run / kFaxMakeUpStep]);
  out.Put(codes[run % kFaxMakeUpStep]);
}

// The fill bits that follow codes of `bits` bits.
uint64_t FillBits(uint64_t bits) {
  uint64_t in_piece = bits % kLinePieceBits;
  uint64_t fill = (12 - in_piece % 8) % 8;
  if (in_piece + fill < kMinBitsBeforeEol) fill = kMinBitsBeforeEol - in_piece;
  return fill;
}

uint8_t* PutEntry(uint8_t* at, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  platform::StoreLe16(at, tag);
  platform::StoreLe16(at + 2, type);
  platform::StoreLe32(at + 4, count);
  platform::StoreLe32(at + 8, value);
  return at + 12;
}

void PutResolutions(uint8_t* at) {
  platform::StoreLe32(at, kXDpi);
  platform::StoreLe32(at + 4, 1);
  platform::StoreLe32(at + 8, kYDpi);
  platform::StoreLe32(at + 12, 1);
}

// The first 238 bytes of a TIFF Class F page of `lines` scan lines and
// `data` bytes of image data.
void BuildTiffHeader(uint8_t* h, uint32_t lines, uint32_t data) {
  std::memset(h, 0, kFaxTiffDataOffset);
  h[0] = 'I';
  h[1] = 'I';
  platform::StoreLe16(h + 2, 42);
  platform::StoreLe32(h + 4, kTiffDirectoryAt);
  PutResolutions(h + kXResolutionAt);
  uint8_t* at = h + kTiffDirectoryAt;
  platform::StoreLe16(at, kTiffEntries);
  at += 2;
  at = PutEntry(at, 254, kLong, 1, 2);                       // NewSubfileType: a page
  at = PutEntry(at, 256, kLong, 1, kFaxLinePixels);          // ImageWidth
  at = PutEntry(at, 257, kLong, 1, lines);                   // ImageLength
  at = PutEntry(at, 258, kShort, 1, 1);                      // BitsPerSample
  at = PutEntry(at, 259, kShort, 1, 3);                      // Compression: T.4
  at = PutEntry(at, 262, kShort, 1, 0);                      // Photometric: white is 0
  at = PutEntry(at, 266, kShort, 1, 2);                      // FillOrder: lowest bit first
  at = PutEntry(at, 273, kLong, 1, kFaxTiffDataOffset);      // StripOffsets
  at = PutEntry(at, 277, kShort, 1, 1);                      // SamplesPerPixel
  at = PutEntry(at, 278, kLong, 1, lines);                   // RowsPerStrip
  at = PutEntry(at, 279, kLong, 1, data);                    // StripByteCounts
  at = PutEntry(at, 282, kRational, 1, kXResolutionAt);      // XResolution
  at = PutEntry(at, 283, kRational, 1, kYResolutionAt);      // YResolution
  at = PutEntry(at, 292, kLong, 1, 4);                       // T4Options: fill bits
  at = PutEntry(at, 296, kShort, 1, 2);                      // ResolutionUnit: inch
  at = PutEntry(at, 297, kShort, 2, 1);                      // PageNumber 1 of 0
  platform::StoreLe32(at, 0);                                // no further directory
  PutResolutions(at + 4);
}

void BuildRawHeader(uint8_t* h, uint32_t data) {
  std::memset(h, 0, kRawHeaderBytes);
  std::memcpy(h, "BIT  FAX", 8);
  h[8] = 0x30;
  h[9] = 0x01;
  platform::StoreLe32(h + 20, data);
  platform::StoreLe32(h + 24, kFaxRawDataOffset);
}

}  // namespace

bool IsTiffFaxName(std::string_view fax_path) {
  return platform::UpperGbk(fax_path).find(".TIF") != std::string::npos;
}

TagCvtFax::TagCvtFax(std::string_view table_dir) {
  const std::string path = FaxDirFile(table_dir, "huffman.cod");
  const platform::FileBytes read = platform::ReadScriptFile(path, kMaxTableBytes);
  if (!read.bytes) {
    frame::LogAlwaysF("TagCvtFax: cannot read %s", path.c_str());
    return;
  }
  table_ = std::make_unique<FaxCodeTable>();
  std::string fault;
  if (!ParseFaxCodeTable(*read.bytes, table_.get(), &fault)) {
    frame::LogAlwaysF("TagCvtFax: %s: %s", path.c_str(), fault.c_str());
    table_.reset();
    return;
  }
  lineBuffer_.resize(kLineBufferBytes);
  status_ = kLoaded;
}

TagCvtFax::~TagCvtFax() { AbandonFaxFile(); }

bool TagCvtFax::OpenFaxFile(std::string_view fax_path) {
  AbandonFaxFile();
  scanLines_ = 0;
  writeFailed_ = false;
  tiff_ = IsTiffFaxName(fax_path);
  file_ = platform::OpenHostFile(fax_path, "w+b");
  if (file_ == nullptr) return false;
  path_ = std::string(fax_path);
  static const uint8_t kZeros[kFaxRawDataOffset] = {};
  const size_t header = tiff_ ? kFaxTiffDataOffset : kFaxRawDataOffset;
  writeFailed_ = fwrite(kZeros, 1, header, file_) != header ||
                 fwrite(kFirstEol, 1, sizeof kFirstEol, file_) != sizeof kFirstEol;
  return true;
}

int TagCvtFax::EncodeLine(const uint8_t* pixels) {
  if (file_ == nullptr || table_ == nullptr) return kLineNotWritten;
  LineBits out(lineBuffer_.data());
  bool black = false;
  for (uint32_t pos = 0; pos < kFaxLinePixels; black = !black) {
    const uint32_t end = RunEnd(pixels, pos, black);
    PutRun(out, black ? table_->black : table_->white, end - pos);
    pos = end;
  }
  out.PutZeros(FillBits(out.bits()));
  out.Put(table_->eol);
  if (out.bits() % 8 != 0) return kLineNotAligned;
  if (fwrite(lineBuffer_.data(), 1, out.bytes(), file_) != out.bytes()) {
    writeFailed_ = true;
    return kLineNotWritten;
  }
  ++scanLines_;
  return kLineWritten;
}

bool TagCvtFax::WriteHeader() {
  if (fwrite(kReturnToControl, 1, sizeof kReturnToControl, file_) != sizeof kReturnToControl) {
    return false;
  }
  const long end = ftell(file_);
  const uint32_t offset = tiff_ ? kFaxTiffDataOffset : kFaxRawDataOffset;
  if (end < static_cast<long>(offset)) return false;
  const auto data = static_cast<uint32_t>(end - offset);
  uint8_t header[kFaxTiffDataOffset];
  size_t size = kRawHeaderBytes;
  if (tiff_) {
    BuildTiffHeader(header, scanLines_, data);
    size = kFaxTiffDataOffset;
  } else {
    BuildRawHeader(header, data);
  }
  return fseek(file_, 0, SEEK_SET) == 0 && fwrite(header, 1, size, file_) == size;
}

bool TagCvtFax::CloseFaxFile() {
  if (file_ == nullptr) return false;
  const bool written = !writeFailed_ && WriteHeader();
  const bool closed = fclose(file_) == 0;
  file_ = nullptr;
  if (written && closed) return true;
  frame::LogAlwaysF("TagCvtFax: cannot write %s", path_.c_str());
  platform::RemoveScriptFile(path_);
  return false;
}

void TagCvtFax::AbandonFaxFile() {
  if (file_ == nullptr) return;
  fclose(file_);
  file_ = nullptr;
  platform::RemoveScriptFile(path_);
}

}  // namespace telephony

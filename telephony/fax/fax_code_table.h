// The Modified Huffman code table of the fax encoder, read from the file
// "huffman.cod":
//   u16 record count N (little-endian), N code records, the end-of-line
//   record; a record is 38 bytes: u16 run length, u16 white code length,
//   u16 black code length, 16 bytes of white code bits, 16 bytes of black
//   code bits (one byte per bit, 0 or 1, first bit first). Records 0..63
//   are the terminating codes of runs 0..63, record 63 + k the make-up code
//   of the run 64 k (k = 1..27). The end-of-line record keeps its length in
//   the white length field and its bits in the white code bytes.
//
// The file is checked before it is used: at least kFaxCodeRecords records,
// every code length 1..16 with bytes 0 or 1, and an end-of-line code whose
// length is 4 more than a multiple of 8 (so that a line, with its fill
// bits and the end-of-line code, ends on a byte boundary).
#ifndef VTTEL_TELEPHONY_FAX_FAX_CODE_TABLE_H_
#define VTTEL_TELEPHONY_FAX_FAX_CODE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

// The records the encoder uses: terminating codes 0..63, make-up codes up
// to the run 1728.
inline constexpr size_t kFaxCodeRecords = 91;
inline constexpr size_t kFaxCodeRecordBytes = 38;
inline constexpr size_t kFaxCodeMaxBits = 16;
// Runs below this are one terminating code.
inline constexpr uint32_t kFaxMakeUpStep = 64;

// One code: its bits in sending order, the first in bit 0.
struct FaxCode {
  uint32_t bits = 0;
  uint32_t length = 0;
};

struct FaxCodeTable {
  FaxCode white[kFaxCodeRecords];
  FaxCode black[kFaxCodeRecords];
  FaxCode eol;
};

// Reads the bytes of a "huffman.cod" into table. False, with the reason in
// *fault, when the bytes do not hold a usable table.
bool ParseFaxCodeTable(std::string_view bytes, FaxCodeTable* table, std::string* fault);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_FAX_CODE_TABLE_H_

#include "telephony/fax/fax_code_table.h"

#include <string>

#include "platform/byte_order.h"
#include "telephony/fax/fax_files.h"

namespace telephony {

namespace {

constexpr size_t kWhiteLengthAt = 2;
constexpr size_t kBlackLengthAt = 4;
constexpr size_t kWhiteBitsAt = 6;
constexpr size_t kBlackBitsAt = kWhiteBitsAt + kFaxCodeMaxBits;

// One code of a record: length field at length_at, bits at bits_at. False
// when the length is not 1..16 or a bit byte is neither 0 nor 1.
bool ReadCode(const uint8_t* record, size_t length_at, size_t bits_at, FaxCode* code) {
  const uint32_t length = platform::LoadLe16(record + length_at);
  if (length == 0 || length > kFaxCodeMaxBits) return false;
  uint32_t bits = 0;
  for (uint32_t i = 0; i < length; ++i) {
    const uint8_t bit = record[bits_at + i];
    if (bit > 1) return false;
    bits |= uint32_t{bit} << i;
  }
  code->bits = bits;
  code->length = length;
  return true;
}

std::string RecordFault(size_t index) {
  return "bad code in record " + std::to_string(index);
}

}  // namespace

bool ParseFaxCodeTable(std::string_view bytes, FaxCodeTable* table, std::string* fault) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() < 2) {
    *fault = "no record count";
    return false;
  }
  const size_t count = platform::LoadLe16(data);
  if (count < kFaxCodeRecords) {
    *fault = std::to_string(count) + " records, " + std::to_string(kFaxCodeRecords) + " needed";
    return false;
  }
  if (bytes.size() < 2 + (count + 1) * kFaxCodeRecordBytes) {
    *fault = "shorter than its " + std::to_string(count) + " records";
    return false;
  }
  FaxCode unused;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = data + 2 + i * kFaxCodeRecordBytes;
    FaxCode* white = i < kFaxCodeRecords ? &table->white[i] : &unused;
    FaxCode* black = i < kFaxCodeRecords ? &table->black[i] : &unused;
    if (!ReadCode(record, kWhiteLengthAt, kWhiteBitsAt, white) ||
        !ReadCode(record, kBlackLengthAt, kBlackBitsAt, black)) {
      *fault = RecordFault(i);
      return false;
    }
  }
  const uint8_t* eol = data + 2 + count * kFaxCodeRecordBytes;
  if (!ReadCode(eol, kWhiteLengthAt, kWhiteBitsAt, &table->eol) || table->eol.length % 8 != 4) {
    *fault = "bad end-of-line code";
    return false;
  }
  return true;
}

}  // namespace telephony

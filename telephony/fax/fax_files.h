// Names of the files the text-to-fax conversion reads from its table and
// font directory, and the little-endian fields of the fax file headers.
#ifndef VTTEL_TELEPHONY_FAX_FAX_FILES_H_
#define VTTEL_TELEPHONY_FAX_FAX_FILES_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

// The script path of a file in the table and font directory: directory and
// name joined with a backslash unless the directory is empty or already
// ends with one (a GBK trail byte 0x5C is no backslash).
std::string FaxDirFile(std::string_view dir, std::string_view name);

// Little-endian fields into a header buffer.
inline void PutU16(uint8_t* at, uint32_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* at, uint32_t v) {
  PutU16(at, v & 0xFFFF);
  PutU16(at + 2, v >> 16);
}
inline uint32_t GetU16(const uint8_t* at) { return at[0] | (uint32_t{at[1]} << 8); }

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_FAX_FILES_H_

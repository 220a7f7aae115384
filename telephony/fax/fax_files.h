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

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_FAX_FAX_FILES_H_

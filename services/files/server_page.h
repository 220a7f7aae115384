// The conversion of "MspToVts(": a server page (HTML with script code
// between "<%" and "%>") becomes a script of the system's language. The
// raw HTML pieces go to the caller (as a map, integer key n: piece n) and
// the script prints each where it stood with "Print(_RawHtml[n]);"; the
// code blocks stay in place. The script starts with a fixed head that
// reads "_RawHtml", "_GET", "_POST" and "_COOKIE" from the line's shared
// memory and ends with "return(0);".
//
// Code blocks are scanned for line comments, block comments and strings so
// that a "%>" inside them does not end the block. A code block that does
// not end with a line end gets one, so the next print line (or the return
// line) starts a line of its own.
//
// Thread rules: ConvertServerPage has no state.
#ifndef VTTEL_SERVICES_FILES_SERVER_PAGE_H_
#define VTTEL_SERVICES_FILES_SERVER_PAGE_H_

#include <string>
#include <string_view>
#include <vector>

namespace services {

// Converts the page text: *script gets the whole script text (with LF line
// ends), *pieces the raw pieces in page order (at least one unless the
// page ends inside a code block).
void ConvertServerPage(std::string_view page, std::string* script,
                       std::vector<std::string>* pieces);

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_SERVER_PAGE_H_

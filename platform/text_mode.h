// The line-end rule of the system's text-mode files: a text-mode stream
// writes each LF as CR LF and reads each CR LF as LF; nothing else is
// translated (a lone CR, zero bytes and GBK bytes pass unchanged). A
// binary-mode stream passes every byte unchanged. The print file, the text
// files, the append files and the converted server pages use these two.
//
// Thread-safe (no state).
#ifndef VTTEL_PLATFORM_TEXT_MODE_H_
#define VTTEL_PLATFORM_TEXT_MODE_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Appends text to *out as a text-mode stream writes it (LF as CR LF).
void AppendTextMode(std::string_view text, std::string* out);

// Writes text to f as a text-mode stream does (LF as CR LF).
void WriteTextMode(FILE* f, std::string_view text);

// Appends the bytes of raw, as read from a file, to *out as a text-mode
// stream reads them (CR LF as LF). When more bytes follow raw in the file
// (more_follows), a CR that ends raw is left unread, since the next byte
// decides it. Returns the number of bytes of raw consumed.
size_t ReadTextMode(std::string_view raw, bool more_follows, std::string* out);

}  // namespace platform

#endif  // VTTEL_PLATFORM_TEXT_MODE_H_

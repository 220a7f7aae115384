// Small text functions the compiler uses on line text. They work on bytes;
// a blank is ' ' or '\t'.
#ifndef VTTEL_ENGINE_LINE_TEXT_H_
#define VTTEL_ENGINE_LINE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace engine {

// The position of the first character that is not a blank, a tab or '='.
size_t SkipLeadingBlanks(std::string_view text);

// Cuts trailing blanks, tabs and line feeds; a carriage return stays.
void TrimRight(std::string& text);

// Removes every blank and tab and cuts the text at its first line feed.
void RemoveBlanks(std::string& text);

// True when nothing but a comment follows: at each position from the
// first, the end of the text, a '/' or a carriage return gives true, and so
// does a '/' or a line feed two positions further on; a blank or tab moves
// on; any other character gives false. The compiler checks with it that
// nothing but a comment follows "{" or "}".
bool IsLineRestEmpty(std::string_view text);

}  // namespace engine

#endif  // VTTEL_ENGINE_LINE_TEXT_H_

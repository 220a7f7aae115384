// Number text in and out as the system's C runtime read and wrote it, and
// never through the process locale (the window layer sets one):
//  - AtoL: leading blanks, an optional sign, decimal digits; 0 without
//    digits; saturates at the 32-bit limits;
//  - StrToD: leading blanks, an optional sign, decimal digits with an
//    optional '.', an optional exponent; no hexadecimal, "inf" or "nan"
//    forms (they read as 0 or as far as their decimal digits go); overflow
//    gives +-HUGE_VAL, underflow 0 or a denormal, correctly rounded;
//  - FormatFixed: "%f" (six decimals, correctly rounded), with "inf",
//    "-inf", "nan" and "-nan" for the special values as glibc prints them.
#ifndef VTTEL_PLATFORM_NUMBER_TEXT_H_
#define VTTEL_PLATFORM_NUMBER_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

int32_t AtoL(std::string_view text);

// Reads the number at the start of text (a NUL byte ends the text); *used,
// when given, gets the number of bytes read (0 when there is no number).
double StrToD(std::string_view text, size_t* used = nullptr);

// Appends "%f" of v to out.
void AppendFixed(double v, std::string& out);
std::string FormatFixed(double v);

// "%f" of v with, when the text holds a '.', its trailing '0's removed: 3.0
// gives "3.", 2.5 "2.5", 100 "100.".
void AppendFloatText(double v, std::string& out);

// "%d".
void AppendInt(int32_t v, std::string& out);

}  // namespace platform

#endif  // VTTEL_PLATFORM_NUMBER_TEXT_H_

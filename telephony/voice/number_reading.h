// Number reading: which voice pieces say a number, an amount of money, a
// string of digits, a date, a clock time or a duration. What to say is kept
// apart from playing it: these functions only return voice names ("shi",
// "5", "yuan", "nian", "hundred", ...), in the order they are said; the
// number statements turn each name into a voice file path and play them.
//
// Chinese (languages 0 and 1) is built from digit and unit prompts by the
// Chinese rules for zeros and units; English (language 2) reads numbers and
// money with English number names and has no date or time reading.
//
// Chinese readings go through a code string: one character per voice,
// '0'..'9' the digits, then ':' shi, ';' bai, '<' qian, '=' wan, '>' yyi,
// '?' yuan, '@' dian, 'A'..'Z' the letters, '[' jiao, '\' fen, ']' gu,
// '^' shou, '_' li (NumberCodeVoice). Characters outside '0'..'_' in a code
// string are said by nothing.
//
// Pure functions, thread-safe; texts are GBK bytes (no byte of 0x80 or
// above is ever taken for a digit or a sign).
#ifndef VTTEL_TELEPHONY_VOICE_NUMBER_READING_H_
#define VTTEL_TELEPHONY_VOICE_NUMBER_READING_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telephony {

// What "PlayNumber(" reads a text as.
enum class NumberMode : int32_t {
  kNumber = 0,
  kMoney = 1,
  kDigits = 2,
  kDate = 3,
  kClock = 4,
  kDuration = 5,
};

// The language that reads in English; 0 and 1 read in Chinese.
inline constexpr int32_t kEnglishLanguage = 2;
// The integer positions the Chinese unit table covers (up to the qian of
// yyi): a longer integer part has no reading.
inline constexpr size_t kMaxIntegerDigits = 12;
// The first and last code characters of the voice-name table.
inline constexpr char kFirstNumberCode = '0';
inline constexpr char kLastNumberCode = '_';

// The voice name of a code character, "" for a character that is no code.
std::string_view NumberCodeVoice(char code);

// The outcome of ChineseNumberCodes.
struct ChineseCodes {
  bool ok = true;        // false: the integer part is longer than kMaxIntegerDigits
  std::string integer;   // codes of the integer part
  std::string fraction;  // jiao, fen and li codes of the first three decimals
};

// The codes of a digit text: "0" for an empty text. The text after the
// first '.' gives the fraction codes (each of its first three characters
// that is '1'..'9', followed by jiao, fen or li); the integer part before it
// is read with its units, each character taking a digit's place and its
// unit (so an upper-case letter is said by its name). Zeros follow the
// Chinese rules: one "0" for a run of zeros inside the number, none at its
// end, and the wan and yyi of a run kept ("1000000" is 1 bai wan). A "1"
// before shi is dropped inside a number unless bai comes before it ("115"
// keeps 1 bai 1 shi 5), but not when the shi ends the number ("10" gives
// "1:"; the callers drop that one). Leading zeros take their places too.
ChineseCodes ChineseNumberCodes(std::string_view digits);

// The voice names of a code string: one per code character.
std::vector<std::string> CodeVoices(std::string_view codes);

// English number names of n (0 <= n < 10^12): groups of billions, millions
// and thousands, then "<h> hundred [and]" and the last two digits (1..20 by
// their own numeral, 21..99 by the tens and the units). 0 gives no names.
std::vector<std::string> EnglishNumberWords(int64_t n);

// The digit names of the decimal digits of text, other characters skipped.
std::vector<std::string> EnglishDigitWords(std::string_view text);

// Why a text has no reading.
enum class NumberReadStatus {
  kOk,
  kNoReading,      // a mode other than 0..5, or a date or time in English
  kInvalid,        // an invalid date or time
  kMinusSign,      // a number or amount with a minus sign: no voice says it
  kTooManyDigits,  // a number or amount with more than kMaxIntegerDigits
};

struct NumberReading {
  NumberReadStatus status = NumberReadStatus::kOk;
  std::vector<std::string> voices;  // the voice names in order (empty unless kOk)
};

// The reading of text in a mode (an integer, as scripts give it) and a
// language (0..2; anything but kEnglishLanguage reads in Chinese).
NumberReading ReadNumber(std::string_view text, int32_t mode, int32_t language);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_NUMBER_READING_H_

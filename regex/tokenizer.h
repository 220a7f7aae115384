// The tokenizer of the pattern syntax: turns pattern bytes into literal and
// control tokens, handling escapes, quoting (\Q, \L, \U ... \E), free
// spacing with "#" comments, (?# comments and the class depth that decides
// whether a byte such as ")" or "-" is syntax or a class member.
//
// The parser keeps a window of four tokens (previous, current, next, after
// next); Advance shifts it by one. Past the end the tokenizer always yields
// the end token (control, byte 0). The pattern must outlive the tokenizer.
// Thread rules: one tokenizer per compile, on the compiling thread.
#ifndef VTTEL_REGEX_TOKENIZER_H_
#define VTTEL_REGEX_TOKENIZER_H_

#include <cstdint>
#include <string_view>

namespace regex {

enum class TokenKind : uint8_t { kLiteral = 0, kControl = 1 };

struct Token {
  uint8_t byte = 0;
  TokenKind kind = TokenKind::kControl;
  int position = 0;  // byte offset of the token in the pattern
  int length = 0;    // bytes it spans in the pattern

  bool IsControl(char c) const {
    return kind == TokenKind::kControl && byte == static_cast<uint8_t>(c);
  }
  bool IsLiteral() const { return kind == TokenKind::kLiteral; }
  bool IsEnd() const { return kind == TokenKind::kControl && byte == 0; }
  bool operator==(const Token& o) const { return byte == o.byte && kind == o.kind; }
};

// True for the names of the POSIX classes the engine knows.
bool IsPosixClassName(std::string_view name);

class Tokenizer {
 public:
  // free_spacing: the compile flag 32 (white space and "#" comments dropped).
  Tokenizer(std::string_view pattern, bool free_spacing);

  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // Shifts the window: previous <- current <- next <- after next <- new.
  void Advance();

  const Token& previous() const { return window_[0]; }
  const Token& current() const { return window_[1]; }
  const Token& next() const { return window_[2]; }
  const Token& after_next() const { return window_[3]; }
  std::string_view pattern() const { return pattern_; }

 private:
  // Reads one token at the scan position (loops over skipped input).
  Token Read();
  // One attempt; false when it consumed input without producing a token.
  bool ReadOne(Token* token);
  bool ReadEscape(Token* token);
  // At pos_ (just past "\x{" or "\u{"): the value of up to max_digits hex
  // digits, and whether any were present.
  uint32_t ReadHex(int max_digits, bool* any);
  // True when the pattern at `at` (a "[") opens a POSIX class "[:name:]"
  // or "[:^name:]", known name or not.
  bool OpensPosixClass(int at) const;
  bool InClass() const { return class_depth_ > 0; }

  std::string_view pattern_;
  int length_;
  bool free_spacing_;
  int pos_ = 0;            // scan position
  int class_depth_ = 0;    // "[" open for the tokenizer
  int quoting_ = 0;        // 1 between \Q, \L or \U and \E
  int quote_case_ = 0;     // 0 none, 1 lower, 2 upper while quoting
  Token last_;             // the token produced last (for "[" ":" and "[" "^")
  Token before_last_;      // the one before it
  Token window_[4];
};

}  // namespace regex

#endif  // VTTEL_REGEX_TOKENIZER_H_

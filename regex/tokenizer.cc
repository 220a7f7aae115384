#include "regex/tokenizer.h"

#include "platform/gbk.h"

namespace regex {

namespace {

constexpr const char* kPosixNames[] = {"alnum", "alpha", "ascii", "blank", "cntrl",
                                       "digit", "graph", "lower", "print", "punct",
                                       "space", "upper", "xdigit"};

bool IsBlankByte(uint8_t c) { return c == ' ' || (c >= 9 && c <= 13); }

uint8_t ToLowerAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
uint8_t ToUpperAscii(uint8_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

Token Make(uint8_t byte, TokenKind kind, int position, int length) {
  Token t;
  t.byte = byte;
  t.kind = kind;
  t.position = position;
  t.length = length;
  return t;
}

}  // namespace

bool IsPosixClassName(std::string_view name) {
  for (const char* known : kPosixNames) {
    if (name == known) return true;
  }
  return false;
}

Tokenizer::Tokenizer(std::string_view pattern, bool free_spacing)
    : pattern_(pattern), length_(static_cast<int>(pattern.size())),
      free_spacing_(free_spacing) {
  for (int i = 0; i < 4; ++i) window_[i].position = length_;  // end tokens
}

void Tokenizer::Advance() {
  window_[0] = window_[1];
  window_[1] = window_[2];
  window_[2] = window_[3];
  window_[3] = Read();
}

Token Tokenizer::Read() {
  Token token;
  while (!ReadOne(&token)) {
  }
  before_last_ = last_;
  last_ = token;
  return token;
}

bool Tokenizer::OpensPosixClass(int at) const {
  // at: the "[". Needs ":" [^] name ":]"; any name (one the engine does not
  // know gives an element that never matches).
  int p = at + 1;
  if (p >= length_ || pattern_[p] != ':') return false;
  ++p;
  while (p < length_ && pattern_[p] != ':') ++p;
  return p + 1 < length_ && pattern_[p + 1] == ']';
}

uint32_t Tokenizer::ReadHex(int max_digits, bool* any) {
  uint32_t value = 0;
  *any = false;
  for (int i = 0; i < max_digits && pos_ < length_; ++i) {
    int h = platform::AsciiHexValue(pattern_[pos_]);
    if (h < 0) break;
    value = value * 16 + static_cast<uint32_t>(h);
    *any = true;
    ++pos_;
  }
  return value;
}

bool Tokenizer::ReadOne(Token* token) {
  const int start = pos_;
  if (pos_ >= length_) {
    *token = Make(0, TokenKind::kControl, length_, 0);
    return true;
  }
  const uint8_t c = static_cast<uint8_t>(pattern_[pos_]);
  if (quoting_) {
    if (c == '\\' && pos_ + 1 < length_ && pattern_[pos_ + 1] == 'E') {
      pos_ += 2;
      quoting_ = 0;
      quote_case_ = 0;
      return false;
    }
    ++pos_;
    uint8_t b = quote_case_ == 1 ? ToLowerAscii(c) : quote_case_ == 2 ? ToUpperAscii(c) : c;
    *token = Make(b, TokenKind::kLiteral, start, 1);
    return true;
  }
  if (c == '\\') return ReadEscape(token);
  ++pos_;
  auto literal = [&] { *token = Make(c, TokenKind::kLiteral, start, 1); return true; };
  auto control = [&] { *token = Make(c, TokenKind::kControl, start, 1); return true; };
  if (IsBlankByte(c)) {
    if (free_spacing_) return false;
    return literal();
  }
  switch (c) {
    case '#':
      if (!free_spacing_) return literal();
      while (pos_ < length_ && pattern_[pos_] != '\n' && pattern_[pos_] != '\r') ++pos_;
      return false;
    case '$': case ')': case '*': case '+': case '.': case '?': case '{': case '}': case '|':
      return InClass() ? literal() : control();
    case '(':
      if (InClass()) return literal();
      if (pos_ + 1 < length_ && pattern_[pos_] == '?' && pattern_[pos_ + 1] == '#') {
        while (pos_ < length_ && pattern_[pos_] != ')') ++pos_;
        if (pos_ < length_) ++pos_;
        return false;
      }
      return control();
    case '-':
      return InClass() ? control() : literal();
    case ':':
      // Only a "[" that opens a POSIX class "[:name:]" makes ":" syntax.
      return last_.IsControl('[') && OpensPosixClass(last_.position) ? control() : literal();
    case '[':
      // Inside a class only "[:name:]" is syntax; any other "[" is a member
      // and leaves the depth alone, so the depth always counts the classes
      // the parser has open.
      if (InClass() && !OpensPosixClass(start)) return literal();
      ++class_depth_;
      return control();
    case ']':
      if (!InClass()) return literal();
      --class_depth_;
      return control();
    case '^':
      if (!InClass()) return control();
      if (last_.IsControl('[') || (last_.IsControl(':') && before_last_.IsControl('[')))
        return control();
      return literal();
    default:
      return literal();
  }
}

bool Tokenizer::ReadEscape(Token* token) {
  const int start = pos_;
  if (pos_ + 1 >= length_) {  // a "\" that ends the pattern
    ++pos_;
    *token = Make('\\', TokenKind::kLiteral, start, 1);
    return true;
  }
  const uint8_t e = static_cast<uint8_t>(pattern_[pos_ + 1]);
  pos_ += 2;
  auto literal = [&](uint8_t b) {
    *token = Make(b, TokenKind::kLiteral, start, pos_ - start);
    return true;
  };
  auto control = [&](uint8_t b) {
    *token = Make(b, TokenKind::kControl, start, pos_ - start);
    return true;
  };
  if (e >= '0' && e <= '9') {  // a back reference: the digits follow as literals
    pos_ = start + 1;
    return control('\\');
  }
  switch (e) {
    case 'A': case 'B': case 'D': case 'S': case 'W': case 'Z':
    case 'd': case 'g': case 'k': case 's': case 'w': case 'z':
      return control(e);
    case 'b': return InClass() ? literal(8) : control('b');
    case 'G':
      if (InClass()) return false;
      return control('G');
    case 'a': return literal(7);
    case 'e': return literal(27);
    case 'f': return literal(12);
    case 'n': return literal(10);
    case 'r': return literal(13);
    case 't': return literal(9);
    case 'v': return literal(11);
    case 'x':
    case 'u': {
      bool any = false;
      if (pos_ < length_ && pattern_[pos_] == '{') {
        ++pos_;
        uint32_t v = ReadHex(8, &any);
        while (pos_ < length_ && pattern_[pos_] != '}') ++pos_;
        if (pos_ < length_) ++pos_;
        return literal(static_cast<uint8_t>(v & 0xFF));
      }
      uint32_t v = ReadHex(e == 'x' ? 2 : 4, &any);
      return literal(any ? static_cast<uint8_t>(v & 0xFF) : e);
    }
    case 'Q': quoting_ = 1; quote_case_ = 0; return false;
    case 'L': quoting_ = 1; quote_case_ = 1; return false;
    case 'U': quoting_ = 1; quote_case_ = 2; return false;
    case 'E': return false;
    default: return literal(e);
  }
}

}  // namespace regex

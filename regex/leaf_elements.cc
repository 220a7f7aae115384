#include "regex/leaf_elements.h"

#include <cstring>
#include <utility>

namespace regex {

namespace {

uint8_t FoldAscii(uint8_t c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

bool IsWordByte(uint8_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '_';
}

}  // namespace

bool EqualBytes(const uint8_t* text, const uint8_t* literal, int n, bool ignore_case) {
  if (n <= 0) return true;  // an empty text may have no bytes at all (a null view)
  if (!ignore_case) return std::memcmp(text, literal, static_cast<size_t>(n)) == 0;
  for (int i = 0; i < n; ++i) {
    if (text[i] != literal[i] && FoldAscii(text[i]) != FoldAscii(literal[i])) return false;
  }
  return true;
}

// --- CEmptyElxT

bool CEmptyElxT::Match(CContext&) const { return true; }
bool CEmptyElxT::MatchNext(CContext&) const { return false; }

// --- CStringElxT

CStringElxT::CStringElxT(std::string bytes, bool reverse, bool ignore_case)
    : bytes_(std::move(bytes)), reverse_(reverse), ignore_case_(ignore_case) {
  if (!bytes_.empty()) {
    uint8_t b = static_cast<uint8_t>(reverse_ ? bytes_.back() : bytes_.front());
    first_.Add(b);
    if (ignore_case_ && b >= 'a' && b <= 'z') first_.Add(b - 32);
    if (ignore_case_ && b >= 'A' && b <= 'Z') first_.Add(b + 32);
  }
}

bool CStringElxT::Match(CContext& ctx) const {
  ctx.Step();
  const int n = static_cast<int>(bytes_.size());
  const auto* lit = reinterpret_cast<const uint8_t*>(bytes_.data());
  if (reverse_) {
    if (ctx.position < n || !EqualBytes(ctx.text + ctx.position - n, lit, n, ignore_case_))
      return false;
    ctx.position -= n;
  } else {
    if (ctx.length - ctx.position < n || !EqualBytes(ctx.text + ctx.position, lit, n, ignore_case_))
      return false;
    ctx.position += n;
  }
  return true;
}

bool CStringElxT::MatchNext(CContext& ctx) const {
  const int n = static_cast<int>(bytes_.size());
  ctx.position += reverse_ ? n : -n;
  return false;
}

const ByteSet* CStringElxT::SingleByteSet() const {
  return bytes_.size() == 1 ? &first_ : nullptr;
}

FirstBytes CStringElxT::First() const {
  if (reverse_ || bytes_.empty()) return FirstBytes();
  return FirstBytes{first_, false};
}

// --- CRangeElxT and CPosixElxT

CRangeElxT::CRangeElxT(ByteSet members, bool reverse, bool positive)
    : set_(members), reverse_(reverse) {
  if (!positive) set_.Invert();
}

bool CRangeElxT::Match(CContext& ctx) const {
  ctx.Step();
  if (reverse_) {
    if (ctx.position <= 0 || !set_.Has(ctx.text[ctx.position - 1])) return false;
    --ctx.position;
  } else {
    if (ctx.position >= ctx.length || !set_.Has(ctx.text[ctx.position])) return false;
    ++ctx.position;
  }
  return true;
}

bool CRangeElxT::MatchNext(CContext& ctx) const {
  ctx.position += reverse_ ? 1 : -1;
  return false;
}

FirstBytes CRangeElxT::First() const {
  if (reverse_) return FirstBytes();
  return FirstBytes{set_, false};
}

ByteSet CPosixElxT::Members(std::string_view name) {
  ByteSet s;
  auto add_if = [&s](auto pred) {
    for (int c = 0; c < 128; ++c) {
      if (pred(c)) s.Add(static_cast<uint8_t>(c));
    }
  };
  auto digit = [](int c) { return c >= '0' && c <= '9'; };
  auto upper = [](int c) { return c >= 'A' && c <= 'Z'; };
  auto lower = [](int c) { return c >= 'a' && c <= 'z'; };
  auto alpha = [&](int c) { return upper(c) || lower(c); };
  auto graph = [](int c) { return c > 32 && c < 127; };
  if (name == "alnum") add_if([&](int c) { return alpha(c) || digit(c); });
  else if (name == "alpha") add_if(alpha);
  else if (name == "ascii") add_if([](int) { return true; });
  else if (name == "blank") add_if([](int c) { return c == ' ' || c == '\t'; });
  else if (name == "cntrl") add_if([](int c) { return c < 32 || c == 127; });
  else if (name == "digit") add_if(digit);
  else if (name == "graph") add_if(graph);
  else if (name == "lower") add_if(lower);
  else if (name == "print") add_if([&](int c) { return graph(c) || c == ' '; });
  else if (name == "punct") add_if([&](int c) { return graph(c) && !alpha(c) && !digit(c); });
  else if (name == "space") add_if([](int c) { return c == ' ' || (c >= 9 && c <= 13); });
  else if (name == "upper") add_if(upper);
  else if (name == "xdigit")
    add_if([&](int c) { return digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); });
  return s;
}

CPosixElxT::CPosixElxT(std::string_view name, bool reverse, bool positive)
    : CRangeElxT(Members(name), reverse, positive) {}

// --- CBoundaryElxT

bool CBoundaryElxT::Match(CContext& ctx) const {
  ctx.Step();
  const int pos = ctx.position;
  const int len = ctx.length;
  const uint8_t* t = ctx.text;
  bool holds = false;
  switch (kind_) {
    case BoundaryKind::kTextStart:
      holds = pos <= 0;
      break;
    case BoundaryKind::kTextEnd:
      holds = pos >= len;
      break;
    case BoundaryKind::kTextEndOrLf:
      holds = pos >= len || (len >= 1 && t[len - 1] == '\n' && pos == len - 1) ||
              (len >= 2 && t[len - 2] == '\r' && t[len - 1] == '\n' && pos == len - 2);
      break;
    case BoundaryKind::kLineStart:
      holds = pos <= 0 || t[pos - 1] == '\n' ||
              (t[pos - 1] == '\r' && (pos >= len || t[pos] != '\n'));
      break;
    case BoundaryKind::kLineEnd:
      holds = pos >= len || t[pos] == '\r' || (t[pos] == '\n' && (pos == 0 || t[pos - 1] != '\r'));
      break;
    case BoundaryKind::kWordBoundary: {
      bool before = pos > 0 && pos <= len && IsWordByte(t[pos - 1]);
      bool at = pos >= 0 && pos < len && IsWordByte(t[pos]);
      holds = before != at;
      break;
    }
  }
  return holds == positive_;
}

bool CBoundaryElxT::MatchNext(CContext&) const { return false; }

// --- CGlobalElxT

bool CGlobalElxT::Match(CContext& ctx) const {
  ctx.Step();
  return ctx.position == ctx.begin_position;
}

bool CGlobalElxT::MatchNext(CContext&) const { return false; }

// --- CBackrefElxT

CBackrefElxT::CBackrefElxT(int number, bool reverse, bool ignore_case, std::string name)
    : number_(number), reverse_(reverse), ignore_case_(ignore_case), name_(std::move(name)) {}

bool CBackrefElxT::Match(CContext& ctx) const {
  ctx.Step();
  if (number_ < 0 || number_ >= static_cast<int>(ctx.capture_index.size())) return false;
  const int index = ctx.capture_index[number_];
  if (index < 0) return false;
  const CaptureRecord& r = ctx.captures[index];
  const int end = r.end == -1 ? ctx.position : r.end;
  const int from = r.start < end ? r.start : end;
  const int n = (r.start < end ? end : r.start) - from;
  const int pos = ctx.position;
  if (reverse_) {
    if (pos < n || !EqualBytes(ctx.text + pos - n, ctx.text + from, n, ignore_case_)) return false;
    ctx.position -= n;
  } else {
    if (ctx.length - pos < n || !EqualBytes(ctx.text + pos, ctx.text + from, n, ignore_case_))
      return false;
    ctx.position += n;
  }
  ctx.stack.Push(pos);
  return true;
}

bool CBackrefElxT::MatchNext(CContext& ctx) const {
  ctx.position = ctx.stack.Pop();
  return false;
}

// --- CBracketElxT
//
// Backtrack records: the opening end pushes 0 (new capture record) or 1
// (depth raised); the closing end pushes 0 (end set), 1 (depth lowered) or
// 2 (nothing done).

bool CBracketElxT::Match(CContext& ctx) const {
  ctx.Step();
  if (number_ < 0 || number_ >= static_cast<int>(ctx.capture_index.size())) return false;
  const int index = ctx.capture_index[number_];
  if (!closing_) {
    if (index >= 0 && ctx.captures[index].end == -1) {
      ++ctx.captures[index].depth;  // entered again through a recursion
      ctx.stack.Push(1);
    } else {
      ctx.PushCapture(number_);
      ctx.stack.Push(0);
    }
    return true;
  }
  if (index < 0) {
    ctx.stack.Push(2);
  } else if (ctx.captures[index].depth > 0) {
    --ctx.captures[index].depth;
    ctx.stack.Push(1);
  } else if (ctx.captures[index].end == -1) {
    ctx.captures[index].end = ctx.position;
    ctx.stack.Push(0);
  } else {
    ctx.stack.Push(2);
  }
  return true;
}

bool CBracketElxT::MatchNext(CContext& ctx) const {
  const int done = ctx.stack.Pop();
  const int index = ctx.capture_index[number_];
  if (!closing_) {
    if (done == 1) {
      --ctx.captures[index].depth;
    } else {
      ctx.CutCaptures(static_cast<size_t>(index));
    }
  } else if (done == 0) {
    ctx.captures[index].end = -1;
  } else if (done == 1) {
    ++ctx.captures[index].depth;
  }
  return false;
}

}  // namespace regex

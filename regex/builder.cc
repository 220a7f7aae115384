#include "regex/builder.h"

#include <climits>
#include <typeinfo>
#include <utility>

#include "platform/gbk.h"
#include "regex/group_elements.h"
#include "regex/leaf_elements.h"
#include "regex/limits.h"
#include "regex/repeat_elements.h"

namespace regex {

namespace {

constexpr int kInfinite = INT_MAX;

bool IsQuantifier(const Token& t) {
  return t.IsControl('*') || t.IsControl('+') || t.IsControl('?') || t.IsControl('{');
}

bool IsSequenceEnd(const Token& t) {
  return t.IsEnd() || t.IsControl('|') || t.IsControl(')');
}

// Stray syntax bytes that an atom takes as literal bytes.
bool IsStrayControl(const Token& t) {
  if (t.kind != TokenKind::kControl) return false;
  switch (t.byte) {
    case '*': case '+': case '?': case '{': case '}': case ']': case '-': case ':':
      return true;
    default:
      return false;
  }
}

ByteSet WordSet() {
  ByteSet s;
  s.AddRange('A', 'Z');
  s.AddRange('a', 'z');
  s.AddRange('0', '9');
  s.Add('_');
  return s;
}

ByteSet SpaceSet(bool with_ff_vt) {
  ByteSet s;
  for (uint8_t c : {' ', '\t', '\r', '\n'}) s.Add(c);
  if (with_ff_vt) {
    s.Add(12);
    s.Add(11);
  }
  return s;
}

ByteSet DigitSet() {
  ByteSet s;
  s.AddRange('0', '9');
  return s;
}

}  // namespace

int ReadSyntaxNumber(std::string_view text, std::string_view* rest) {
  size_t i = 0;
  while (i < text.size() && platform::IsAsciiBlank(text[i])) ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') {
    if (rest != nullptr) *rest = text;
    return -1;
  }
  int n = 0;
  for (int digits = 0; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '9';
       ++digits, ++i) {
    n = n * 10 + (text[i] - '0');
  }
  while (i < text.size() && platform::IsAsciiBlank(text[i])) ++i;
  if (rest != nullptr) *rest = text.substr(i);
  return n;
}

int NameNumber(std::string_view name) {
  std::string_view rest;
  int n = ReadSyntaxNumber(name, &rest);
  return (n >= 0 && rest.empty()) ? n : -1;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

void CBuilderT::Clear() {
  nodes_.clear();
  root_ = nullptr;
  flags_ = 0;
  highest_group_ = 0;
  pattern_.clear();
  group_table_.clear();
  named_groups_.clear();
  recursions_.clear();
  named_backrefs_.clear();
  conditions_.clear();
  shared_.fill(nullptr);
  never_ = nullptr;
  depth_ = 0;
  depth_reported_ = false;
  nullable_repeat_ = false;
}

void CBuilderT::Compile(const char* pattern, int length, int flags) {
  Clear();
  flags_ = flags;
  if (pattern == nullptr) return;
  pattern_.assign(pattern, length > 0 ? static_cast<size_t>(length) : 0);
  Tokenizer tokens(pattern_, (flags & kFreeSpacing) != 0);
  tokens_ = &tokens;
  Advance();
  Advance();
  Advance();
  group_table_.push_back(GroupEntry{nullptr, 0});
  int top_flags = flags;
  root_ = ParseAlternation(top_flags);  // a ")" that closes nothing ends it
  tokens_ = nullptr;
  group_table_[0].element = root_;
  FinishGroups();
  MarkGivesAllBack(root_, FirstBytes{ByteSet(), true}, 0);
}

int CBuilderT::GroupNumber(std::string_view name) const {
  for (const NamedGroup& g : named_groups_) {
    if (SameName(g.name, name)) return g.number;
  }
  return -1;
}

void CBuilderT::SkipClose() {
  if (current().IsControl(')')) Advance();
}

const ElxInterface* CBuilderT::Shared(int index) {
  if (shared_[index] != nullptr) return shared_[index];
  const bool reverse = index >= 9;
  const int kind = reverse ? index - 8 : index;
  const ElxInterface* e = nullptr;
  ByteSet lf;
  lf.Add('\n');
  switch (kind) {
    case 0: e = New<CEmptyElxT>(); break;
    case 1: e = New<CRangeElxT>(ByteSet(), reverse, false); break;  // any byte
    case 2: e = New<CRangeElxT>(lf, reverse, false); break;
    case 3: e = New<CRangeElxT>(WordSet(), reverse, true); break;
    case 4: e = New<CRangeElxT>(WordSet(), reverse, false); break;
    case 5: e = New<CRangeElxT>(SpaceSet(reverse), reverse, true); break;
    case 6: e = New<CRangeElxT>(SpaceSet(reverse), reverse, false); break;
    case 7: e = New<CRangeElxT>(DigitSet(), reverse, true); break;
    case 8: e = New<CRangeElxT>(DigitSet(), reverse, false); break;
  }
  shared_[index] = e;
  return e;
}

const ElxInterface* CBuilderT::Never() {
  if (never_ == nullptr) never_ = New<CRangeElxT>(ByteSet(), false, true);
  return never_;
}

// --- Alternation, sequence, repeat

const ElxInterface* CBuilderT::ParseAlternation(int& flags) {
  if (current().IsEnd()) return Shared(0);
  const ElxInterface* first = ParseSequence(flags);
  if (!current().IsControl('|')) return first;
  std::vector<const ElxInterface*> alternatives{first};
  while (current().IsControl('|')) {
    Advance();
    alternatives.push_back(ParseSequence(flags));  // one flag variable for all
  }
  return New<CAlternativeElxT>(std::move(alternatives));
}

const ElxInterface* CBuilderT::ParseSequence(int& flags) {
  std::vector<const ElxInterface*> items;
  while (!IsSequenceEnd(current())) {
    const ElxInterface* item = ParseRepeat(flags);
    if (item != shared_[0]) items.push_back(item);  // empty elements add nothing
  }
  if (items.empty()) return Shared(0);
  if (items.size() == 1) return items[0];
  return New<CListElxT>(std::move(items), (flags & kRightToLeft) != 0);
}

const ElxInterface* CBuilderT::MakeQuantified(const ElxInterface* atom, int minimum,
                                              int maximum) {
  if (maximum < minimum) maximum = minimum;
  if (maximum == 0) return Shared(0);
  if (maximum > minimum && atom->First().nullable) nullable_repeat_ = true;
  if (minimum == maximum) {
    if (current().IsControl('?') || current().IsControl('+')) Advance();
    if (minimum == 1) return atom;
    return New<CRepeatElxT>(atom, minimum);
  }
  if (current().IsControl('?')) {
    Advance();
    return New<CReluctantElxT>(atom, minimum, maximum - minimum);
  }
  if (current().IsControl('+')) {
    Advance();
    return New<CPossessiveElxT>(atom, minimum, maximum - minimum);
  }
  return New<CGreedyElxT>(atom, minimum, maximum - minimum);
}

const ElxInterface* CBuilderT::ParseRepeat(int& flags) {
  const ElxInterface* atom = ParseAtom(flags);
  const Token& q = current();
  if (!IsQuantifier(q)) return atom;
  if (q.IsControl('*')) {
    Advance();
    return MakeQuantified(atom, 0, kInfinite);
  }
  if (q.IsControl('+')) {
    Advance();
    return MakeQuantified(atom, 1, kInfinite);
  }
  if (q.IsControl('?')) {
    Advance();
    return MakeQuantified(atom, 0, 1);
  }
  // "{": the bytes up to the next control "}".
  Advance();
  std::string text;
  while (!current().IsEnd() && !current().IsControl('}')) {
    text.push_back(static_cast<char>(current().byte));
    Advance();
  }
  if (current().IsControl('}')) Advance();
  std::string_view rest;
  int minimum = ReadSyntaxNumber(text, &rest);
  if (minimum < 0) return MakeQuantified(atom, 0, 0);  // the atom is dropped
  int maximum = minimum;
  if (!rest.empty() && rest[0] == ',') {
    int m = ReadSyntaxNumber(rest.substr(1), nullptr);
    maximum = m < 0 ? kInfinite : m;
  }
  return MakeQuantified(atom, minimum, maximum);
}

// --- Atoms

const ElxInterface* CBuilderT::ParseAtom(int& flags) {
  std::string run;
  if (IsStrayControl(current())) {
    run.push_back(static_cast<char>(current().byte));
    Advance();
  }
  while (current().IsLiteral()) {
    if (IsQuantifier(tokens_->next())) {
      if (run.empty()) {
        run.push_back(static_cast<char>(current().byte));
        Advance();
      }
      break;
    }
    run.push_back(static_cast<char>(current().byte));
    Advance();
  }
  if (!run.empty()) {
    return New<CStringElxT>(std::move(run), (flags & kRightToLeft) != 0,
                            (flags & kIgnoreCase) != 0);
  }
  const Token& t = current();
  if (t.kind != TokenKind::kControl) return Shared(0);
  switch (t.byte) {
    case '(':
      return ParseGroup(flags);
    case '[': case '.': case 'w': case 'W': case 's': case 'S': case 'd': case 'D':
      return ParseClass(flags);
    case '^': case '$': case 'A': case 'Z': case 'z': case 'b': case 'B': case 'G':
      return ParseAnchor(flags);
    case '\\': case 'k': case 'g':
      return ParseBackref(flags);
    default:
      // ")", the bar and the end are left to the caller; anything else is a
      // byte of its own.
      if (IsSequenceEnd(t)) return Shared(0);
      run.push_back(static_cast<char>(t.byte));
      Advance();
      return New<CStringElxT>(std::move(run), (flags & kRightToLeft) != 0,
                              (flags & kIgnoreCase) != 0);
  }
}

// --- Groups

const ElxInterface* CBuilderT::SkipDeepGroup() {
  if (!depth_reported_) {
    depth_reported_ = true;
    ReportLimit("group nesting", pattern_);
  }
  int open = 0;
  do {
    if (current().IsControl('(')) ++open;
    if (current().IsControl(')')) --open;
    Advance();
  } while (open > 0 && !current().IsEnd());
  return Never();
}

const ElxInterface* CBuilderT::ParseGroup(int& flags) {
  if (depth_ >= kMaxGroupNesting) return SkipDeepGroup();
  ++depth_;
  Advance();  // "("
  const ElxInterface* group;
  if (current().IsControl('?')) {
    Advance();
    group = ParseSpecialGroup(flags);
  } else {
    group = ParseCaptureGroup(flags);
  }
  --depth_;
  return group;
}

const ElxInterface* CBuilderT::MakeGroup(CBracketElxT* open, const ElxInterface* body,
                                         CBracketElxT* close, int flags) {
  std::vector<const ElxInterface*> items;
  if (flags & kRightToLeft) {
    items = {close, body, open};  // the list runs backwards: open first
  } else {
    items = {open, body, close};
  }
  return New<CListElxT>(std::move(items), (flags & kRightToLeft) != 0);
}

const ElxInterface* CBuilderT::ParseCaptureGroup(int flags) {
  const int number = ++highest_group_;
  CBracketElxT* open = New<CBracketElxT>(number, false);
  CBracketElxT* close = New<CBracketElxT>(number, true);
  group_table_.push_back(GroupEntry{nullptr, number});
  const size_t entry = group_table_.size() - 1;
  int inner = flags;
  const ElxInterface* body = ParseAlternation(inner);
  const ElxInterface* group = MakeGroup(open, body, close, flags);
  group_table_[entry].element = group;
  SkipClose();
  return group;
}

std::string CBuilderT::ReadName(uint8_t closer) {
  std::string name;
  while (!current().IsEnd() && current().byte != closer) {
    name.push_back(static_cast<char>(current().byte));
    Advance();
  }
  if (!current().IsEnd()) Advance();
  return name;
}

const ElxInterface* CBuilderT::ParseSpecialGroup(int& flags) {
  // After "(?": skip blanks, then the byte decides.
  while (current().IsLiteral() && platform::IsAsciiBlank(current().byte)) Advance();
  const Token t = current();
  const Token& next = tokens_->next();
  const ElxInterface* result = nullptr;
  if (t.IsLiteral() && (t.byte == '=' || t.byte == '!')) {
    Advance();
    int inner = flags & ~kRightToLeft;
    result = New<CAssertElxT>(ParseAlternation(inner), t.byte == '=');
  } else if (t.IsLiteral() && t.byte == '<' && next.IsLiteral() &&
             (next.byte == '=' || next.byte == '!')) {
    const bool positive = next.byte == '=';
    Advance();
    Advance();
    int inner = flags | kRightToLeft;
    result = New<CAssertElxT>(ParseAlternation(inner), positive);
  } else if (t.IsLiteral() && t.byte == '>') {
    Advance();
    int inner = flags;
    result = New<CIndependentElxT>(ParseAlternation(inner));
  } else if (t.IsLiteral() && (t.byte == '<' || t.byte == '\'')) {
    Advance();
    return ParseNamedGroup(flags, t.byte == '<' ? '>' : '\'');
  } else if (t.IsLiteral() && t.byte == 'P' && next.IsLiteral() &&
             (next.byte == '<' || next.byte == '\'')) {
    const uint8_t closer = next.byte == '<' ? '>' : '\'';
    Advance();
    Advance();
    return ParseNamedGroup(flags, closer);
  } else if (t.IsControl('(')) {
    return ParseCondition(flags);
  } else if (t.IsLiteral() && (t.byte == 'R' || (t.byte >= '0' && t.byte <= '9'))) {
    return ParseRecursion();
  } else {
    return ParseFlags(flags);
  }
  SkipClose();
  return result;
}

const ElxInterface* CBuilderT::ParseNamedGroup(int flags, uint8_t closer) {
  std::string name = ReadName(closer);
  int number = NameNumber(name);
  if (number <= 0) number = -1;  // "0" is a name like any other
  CBracketElxT* open = New<CBracketElxT>(number, false);
  CBracketElxT* close = New<CBracketElxT>(number, true);
  int inner = flags;
  const ElxInterface* body = ParseAlternation(inner);
  const ElxInterface* group = MakeGroup(open, body, close, flags);
  named_groups_.push_back(NamedGroup{std::move(name), group, open, close, number});
  SkipClose();
  return group;
}

const ElxInterface* CBuilderT::ParseCondition(int flags) {
  int inner = flags;
  const ElxInterface* condition = nullptr;
  int number = -1;
  std::string text;
  if (tokens_->next().IsControl('?')) {
    condition = ParseGroup(inner);  // the look-around closes the condition's "("
  } else {
    Advance();  // "("
    const int start = current().position;
    int cond_flags = flags & ~kRightToLeft;
    const ElxInterface* body = ParseAlternation(cond_flags);
    text.assign(pattern_, static_cast<size_t>(start),
                static_cast<size_t>(current().position - start));
    SkipClose();
    number = NameNumber(text);
    if (number < 0) condition = New<CAssertElxT>(body, true);
  }
  const ElxInterface* yes = ParseSequence(inner);
  const ElxInterface* no = nullptr;
  if (current().IsControl('|')) {
    Advance();
    no = ParseAlternation(inner);
  }
  auto* element = New<CConditionElxT>(number, std::move(text), condition, yes, no);
  if (number < 0 && condition != nullptr && !element->text().empty()) {
    conditions_.push_back(element);
  }
  SkipClose();
  return element;
}

const ElxInterface* CBuilderT::ParseRecursion() {
  if (current().byte == 'R') {
    Advance();
    while (current().IsLiteral() && platform::IsAsciiBlank(current().byte)) Advance();
    if (current().IsLiteral() && (current().byte == '<' || current().byte == '\'')) {
      const uint8_t closer = current().byte == '<' ? '>' : '\'';
      Advance();
      std::string name = ReadName(closer);
      const int number = NameNumber(name);
      auto* d = New<CDelegateElxT>(number >= 0 ? number : -3, std::move(name));
      recursions_.push_back(d);
      SkipClose();
      return d;
    }
  }
  std::string digits;
  while (!current().IsEnd() && !current().IsControl(')')) {
    digits.push_back(static_cast<char>(current().byte));
    Advance();
  }
  int number = digits.empty() ? 0 : NameNumber(digits);
  auto* d = New<CDelegateElxT>(number, std::string());
  recursions_.push_back(d);
  SkipClose();
  return d;
}

const ElxInterface* CBuilderT::ParseFlags(int& flags) {
  int changed = flags;
  bool clear = false;
  for (;;) {
    const Token& t = current();
    if (t.IsEnd()) {
      flags = changed;
      return Shared(0);
    }
    if (t.IsControl(')')) {
      flags = changed;  // for the rest of the enclosing group
      Advance();
      return Shared(0);
    }
    if ((t.IsLiteral() && t.byte == ':') || t.IsControl('(')) {
      if (t.IsLiteral()) Advance();
      int inner = changed;
      const ElxInterface* body = ParseAlternation(inner);
      SkipClose();
      return body;
    }
    int bit = 0;
    switch (t.byte) {
      case 'i': case 'I': bit = kIgnoreCase; break;
      case 'm': case 'M': bit = kMultiLine; break;
      case 's': case 'S': bit = kDotAll; break;
      case 'g': case 'G': bit = kContinue; break;
      case '-': clear = true; break;
      default: break;
    }
    if (clear) {
      changed &= ~bit;
    } else {
      changed |= bit;
    }
    Advance();
  }
}

// --- Classes, anchors, back references

const ElxInterface* CBuilderT::ParsePosix(int flags) {
  Advance();  // "["
  std::string bracket;
  while (!current().IsEnd() && !current().IsControl(']')) {
    bracket.push_back(static_cast<char>(current().byte));
    Advance();
  }
  if (current().IsControl(']')) Advance();
  // bracket is ":name:" or ":^name:" (the tokenizer checked the form).
  const bool positive = !(bracket.size() > 1 && bracket[1] == '^');
  std::string_view name(bracket);
  name.remove_prefix(positive ? 1 : 2);
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  if (!IsPosixClassName(name)) return Never();  // whichever way it is turned
  return New<CPosixElxT>(name, (flags & kRightToLeft) != 0, positive);
}

const ElxInterface* CBuilderT::ParseClass(int flags) {
  const int rtl = (flags & kRightToLeft) ? 8 : 0;
  const Token t = current();
  switch (t.byte) {
    case '.': Advance(); return Shared(((flags & kDotAll) ? 1 : 2) + rtl);
    case 'w': Advance(); return Shared(3 + rtl);
    case 'W': Advance(); return Shared(4 + rtl);
    case 's': Advance(); return Shared(5 + rtl);
    case 'S': Advance(); return Shared(6 + rtl);
    case 'd': Advance(); return Shared(7 + rtl);
    case 'D': Advance(); return Shared(8 + rtl);
    default: break;
  }
  if (tokens_->next().IsControl(':')) return ParsePosix(flags);
  Advance();  // "["
  bool positive = true;
  if (current().IsControl('^')) {
    positive = false;
    Advance();
  }
  ByteSet members;
  while (!current().IsEnd() && !current().IsControl(']')) {
    const Token m = current();
    int nested = -1;
    if (m.kind == TokenKind::kControl) {
      switch (m.byte) {
        case 'w': nested = 3; break;
        case 'W': nested = 4; break;
        case 's': nested = 5; break;
        case 'S': nested = 6; break;
        case 'd': nested = 7; break;
        case 'D': nested = 8; break;
        default: break;
      }
    }
    if (nested >= 0) {
      members.AddAll(*Shared(nested + rtl)->SingleByteSet());
      Advance();
    } else if (m.IsControl('[') && tokens_->next().IsControl(':')) {
      members.AddAll(*ParsePosix(flags)->SingleByteSet());
    } else if (tokens_->next().IsControl('-') && tokens_->after_next().IsLiteral()) {
      const uint8_t high = tokens_->after_next().byte;
      if (m.byte <= high) members.AddRange(m.byte, high);  // unsigned bytes
      Advance();
      Advance();
      Advance();
    } else {
      members.Add(m.byte);
      Advance();
    }
  }
  if (current().IsControl(']')) Advance();
  return New<CRangeElxT>(members, (flags & kRightToLeft) != 0, positive);
}

const ElxInterface* CBuilderT::ParseAnchor(int flags) {
  const uint8_t b = current().byte;
  Advance();
  const bool multi = (flags & kMultiLine) != 0;
  switch (b) {
    case '^':
      return New<CBoundaryElxT>(multi ? BoundaryKind::kLineStart : BoundaryKind::kTextStart, true);
    case '$':
      return New<CBoundaryElxT>(multi ? BoundaryKind::kLineEnd : BoundaryKind::kTextEnd, true);
    case 'A': return New<CBoundaryElxT>(BoundaryKind::kTextStart, true);
    case 'z': return New<CBoundaryElxT>(BoundaryKind::kTextEnd, true);
    case 'Z': return New<CBoundaryElxT>(BoundaryKind::kTextEndOrLf, true);
    case 'b': return New<CBoundaryElxT>(BoundaryKind::kWordBoundary, true);
    case 'B': return New<CBoundaryElxT>(BoundaryKind::kWordBoundary, false);
    default:  // "G"
      if (flags & kContinue) return New<CGlobalElxT>();
      return Shared(0);
  }
}

const ElxInterface* CBuilderT::ParseBackref(int flags) {
  Advance();  // "\", "k" or "g"
  const bool reverse = (flags & kRightToLeft) != 0;
  const bool ignore_case = (flags & kIgnoreCase) != 0;
  const Token t = current();
  if (t.byte == '<' || t.byte == '\'') {
    Advance();
    std::string name = ReadName(t.byte == '<' ? '>' : '\'');
    const int number = NameNumber(name);
    auto* ref = New<CBackrefElxT>(number, reverse, ignore_case, std::move(name));
    if (number < 0) named_backrefs_.push_back(ref);
    return ref;
  }
  int number = 0;
  for (int digits = 0; digits < 3; ++digits) {
    const Token& d = current();
    if (!d.IsLiteral() || d.byte < '0' || d.byte > '9') break;
    number = number * 10 + (d.byte - '0');
    Advance();
  }
  return New<CBackrefElxT>(number, reverse, ignore_case, std::string());
}

// --- After parsing

void CBuilderT::MarkGivesAllBack(const ElxInterface* e, const FirstBytes& follow, int depth) {
  if (depth > 4 * kMaxGroupNesting) return;
  if (const auto* list = e->AsList()) {
    if (list->reverse()) return;
    const auto& items = list->elements();
    FirstBytes after = follow;  // what may come after element i
    for (size_t i = items.size(); i-- > 0;) {
      MarkGivesAllBack(items[i], after, depth + 1);
      FirstBytes f = items[i]->First();
      if (!f.nullable) {
        after = f;
      } else {
        after.bytes.AddAll(f.bytes);
      }
    }
  } else if (const auto* alt = e->AsAlternative()) {
    for (const ElxInterface* a : alt->alternatives()) MarkGivesAllBack(a, follow, depth + 1);
  } else if (const auto* rep = e->AsRepeat()) {
    FirstBytes inner = rep->element()->First();  // another round may follow
    inner.bytes.AddAll(follow.bytes);
    inner.nullable = inner.nullable && follow.nullable;
    if (const ByteSet* set = rep->element()->SingleByteSet()) {
      if (!set->Intersects(follow.bytes) && !follow.nullable && typeid(*rep) == typeid(CGreedyElxT)) {
        const_cast<CGreedyElxT*>(static_cast<const CGreedyElxT*>(rep))->set_gives_all_back();
      }
    } else {
      MarkGivesAllBack(rep->element(), inner, depth + 1);
    }
  } else if (const auto* atomic = e->AsIndependent()) {
    MarkGivesAllBack(atomic->element(), follow, depth + 1);
  }
}

void CBuilderT::FinishGroups() {
  for (size_t i = 0; i < named_groups_.size(); ++i) {
    NamedGroup& g = named_groups_[i];
    if (g.number <= 0) {
      g.number = -1;
      for (size_t j = 0; j < i; ++j) {
        if (SameName(named_groups_[j].name, g.name)) {
          g.number = named_groups_[j].number;
          break;
        }
      }
      if (g.number < 0) g.number = ++highest_group_;
    }
    g.open->set_number(g.number);
    g.close->set_number(g.number);
    group_table_.push_back(GroupEntry{g.element, g.number});
  }
  for (const GroupEntry& e : group_table_) {
    if (e.number > highest_group_) highest_group_ = e.number;
  }
  auto entry_of = [this](int number) -> const ElxInterface* {
    if (number == 0) return root_;
    if (number < 0 || number > highest_group_) return nullptr;
    for (size_t i = 1; i < group_table_.size(); ++i) {
      if (group_table_[i].number == number) return group_table_[i].element;
    }
    return nullptr;
  };
  for (CDelegateElxT* d : recursions_) {
    int number = d->number();
    if (number == -3) number = GroupNumber(d->name());
    if (number >= 0) d->Resolve(entry_of(number), number);
  }
  for (CBackrefElxT* ref : named_backrefs_) {
    const int number = GroupNumber(ref->name());
    ref->set_number(number >= 0 ? number : -3);
  }
  for (CConditionElxT* c : conditions_) {
    const int number = GroupNumber(c->text());
    if (number >= 0) c->set_group(number);
  }
}

}  // namespace regex

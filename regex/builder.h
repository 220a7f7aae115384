// CBuilderT: compiles a pattern into a tree of elements and owns them.
//
// Compiling never fails: every byte string is a pattern, and whatever does
// not fit the syntax becomes literal bytes, the empty element or an element
// that never matches. Groups nested deeper than kMaxGroupNesting become an
// element that never matches (reported once through the limit logger).
//
// After parsing the builder numbers the named groups (after all numbered
// ones; a repeated name gets the number of its first group, a name made of
// a number above 0 keeps that number), then resolves recursions, named back
// references and conditions that name a group.
//
// Ownership: every element lives in the node list until the builder is
// cleared (by the next Compile) or destroyed. Thread rules: Compile on one
// thread; a compiled builder may be read by several threads at once.
#ifndef VTTEL_REGEX_BUILDER_H_
#define VTTEL_REGEX_BUILDER_H_

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "regex/element.h"
#include "regex/tokenizer.h"

namespace regex {

class CBracketElxT;
class CBackrefElxT;
class CConditionElxT;
class CDelegateElxT;

// The flag word of Compile.
constexpr int kDotAll = 1;       // "." also matches LF            (?s)
constexpr int kMultiLine = 2;    // "^" and "$" at line ends        (?m)
constexpr int kContinue = 4;     // "\G" is the continue anchor     (?g)
constexpr int kIgnoreCase = 8;   // literals and references ASCII case-blind (?i)
constexpr int kRightToLeft = 16; // built for matching backwards
constexpr int kFreeSpacing = 32; // white space and "#" comments dropped

class CBuilderT {
 public:
  CBuilderT() = default;
  ~CBuilderT() = default;
  CBuilderT(const CBuilderT&) = delete;
  CBuilderT& operator=(const CBuilderT&) = delete;

  // Clears the builder, then compiles. A null pattern leaves the root null.
  void Compile(const char* pattern, int length, int flags);
  // Deletes every element and forgets the pattern.
  void Clear();

  // The element of the whole pattern; null until compiled (or for a null
  // pattern).
  const ElxInterface* root() const { return root_; }
  int flags() const { return flags_; }
  int highest_group() const { return highest_group_; }
  const std::string& pattern() const { return pattern_; }
  // The number of the named group called name (ASCII case-blind), -1 when
  // there is none.
  int GroupNumber(std::string_view name) const;
  // Number of elements the builder owns.
  size_t node_count() const { return nodes_.size(); }
  // True when the pattern repeats an element that may match the empty text
  // (such a repetition never takes an empty extra round).
  bool has_nullable_repeat() const { return nullable_repeat_; }

 private:
  struct NamedGroup {
    std::string name;
    const ElxInterface* element;
    CBracketElxT* open;
    CBracketElxT* close;
    int number;
  };
  struct GroupEntry {
    const ElxInterface* element;
    int number;
  };

  template <class T, class... Args>
  T* New(Args&&... args) {
    auto node = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = node.get();
    nodes_.push_back(std::move(node));
    return raw;
  }

  const Token& current() const { return tokens_->current(); }
  void Advance() { tokens_->Advance(); }
  // Skips the ")" that closes a group (nothing at the end of the pattern).
  void SkipClose();

  const ElxInterface* ParseAlternation(int& flags);
  const ElxInterface* ParseSequence(int& flags);
  const ElxInterface* ParseRepeat(int& flags);
  const ElxInterface* ParseAtom(int& flags);
  const ElxInterface* ParseGroup(int& flags);
  const ElxInterface* ParseCaptureGroup(int flags);
  const ElxInterface* ParseSpecialGroup(int& flags);
  const ElxInterface* ParseNamedGroup(int flags, uint8_t closer);
  const ElxInterface* ParseCondition(int flags);
  const ElxInterface* ParseRecursion();
  const ElxInterface* ParseFlags(int& flags);
  const ElxInterface* ParseClass(int flags);
  const ElxInterface* ParsePosix(int flags);
  const ElxInterface* ParseAnchor(int flags);
  const ElxInterface* ParseBackref(int flags);
  // Skips a group nested too deep, through its ")"; never matches.
  const ElxInterface* SkipDeepGroup();
  // A group list [open, body, close] in matching order.
  const ElxInterface* MakeGroup(CBracketElxT* open, const ElxInterface* body,
                                CBracketElxT* close, int flags);
  const ElxInterface* MakeQuantified(const ElxInterface* atom, int minimum, int maximum);
  // The bytes of the tokens up to a token with byte closer (skipped).
  std::string ReadName(uint8_t closer);
  // The predefined elements by index (0 empty, 1-8 left to right, 9-16
  // right to left), created on first use.
  const ElxInterface* Shared(int index);
  const ElxInterface* Never();
  void FinishGroups();
  // Lets one-byte greedy repetitions give all bytes back at once where
  // nothing that follows (follow) can begin with one of their bytes.
  void MarkGivesAllBack(const ElxInterface* e, const FirstBytes& follow, int depth);

  std::vector<std::unique_ptr<ElxInterface>> nodes_;
  const ElxInterface* root_ = nullptr;
  int flags_ = 0;
  int highest_group_ = 0;
  std::string pattern_;
  std::vector<GroupEntry> group_table_;
  std::vector<NamedGroup> named_groups_;
  std::vector<CDelegateElxT*> recursions_;
  std::vector<CBackrefElxT*> named_backrefs_;
  std::vector<CConditionElxT*> conditions_;
  std::array<const ElxInterface*, 17> shared_{};
  const ElxInterface* never_ = nullptr;
  Tokenizer* tokens_ = nullptr;  // during Compile only
  int depth_ = 0;                // groups open in the parser
  bool depth_reported_ = false;
  bool nullable_repeat_ = false;
};

// The number rule of the syntax: blanks, at most three digits, blanks.
// Returns -1 when text does not start with a digit after the blanks; sets
// *rest to the bytes after the number.
int ReadSyntaxNumber(std::string_view text, std::string_view* rest);
// The number a name consists of, or -1 when it is not only a number.
int NameNumber(std::string_view name);
// Name comparison: equal lengths, ASCII letters without case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace regex

#endif  // VTTEL_REGEX_BUILDER_H_

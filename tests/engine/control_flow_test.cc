#include "engine/control_flow.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/calculate.h"
#include "engine/map_table.h"
#include "tests/engine/map_check.h"
#include "tests/engine/values.h"

namespace engine {
namespace {

// An ordinary statement: appends its label to the trace, then runs its
// action, whose value is the statement's result.
class Step : public TagOper {
 public:
  Step(std::string* trace, std::string label, std::function<int32_t()> action)
      : trace_(trace), label_(std::move(label)), action_(std::move(action)) {}
  int32_t Execute() override {
    *trace_ += label_;
    return action_ ? action_() : 0;
  }

 private:
  std::string* trace_;
  std::string label_;
  std::function<int32_t()> action_;
};

// A condition that counts how often it is evaluated.
class CountingExpre : public TagExpre {
 public:
  CountingExpre(const std::vector<TagCalculate>& instructions, int* count)
      : TagExpre(instructions), count_(count) {}
  int32_t Execute() override {
    ++*count_;
    return TagExpre::Execute();
  }

 private:
  int* count_;
};

// Builds statement lists by hand, linked as the compiler links them, and
// runs them with a small run loop: previousExecuted, Execute, the result
// into "_retVal", Next.
class ControlFlowTest : public MapCheckTest {
 protected:
  void TearDown() override {
    for (TagVar& v : vars_) v.ReleaseMap();
    retVal_.ReleaseMap();
    MapCheckTest::TearDown();
  }

  TagVar* Var(int32_t v) {
    vars_.emplace_back();
    vars_.back().SetInt(v);
    return &vars_.back();
  }

  // Appends a statement: its index is its place, and the previous
  // statement's next becomes it (the common appending), except that a
  // single-statement loop body leads back to its loop head.
  template <typename T>
  T* Add(char kind, std::unique_ptr<T> statement) {
    T* s = statement.get();
    s->kindLetter = kind;
    s->statementIndex = static_cast<int32_t>(list_.size());
    if (!list_.empty()) {
      TagOper* previous = list_.back().get();
      const bool loop_body = previous->singleBody != 0 && previous->blockOpener != nullptr &&
                             previous->blockOpener->kindLetter == kKindLoop;
      previous->next = loop_body ? previous->blockOpener : s;
    }
    list_.push_back(std::move(statement));
    return s;
  }
  Step* AddStep(std::string label, std::function<int32_t()> action = {}) {
    return Add(kKindGeneral, std::make_unique<Step>(&trace_, std::move(label), std::move(action)));
  }
  // "{", "else" or "default(" under the given opener.
  TagNull* AddNull(char kind, TagOper* opener) {
    TagNull* s = Add(kind, std::make_unique<TagNull>());
    s->blockOpener = opener;
    return s;
  }
  TagEnd* AddEnd(TagOper* opener) {
    TagEnd* s = Add(kKindBlockEnd, std::make_unique<TagEnd>());
    s->blockOpener = opener;
    return s;
  }
  TagIf* AddIf(char kind, std::unique_ptr<TagExpre> condition) {
    return Add(kind, std::make_unique<TagIf>(std::move(condition)));
  }
  // "break;" or "continue;" as the single-statement body of an if.
  template <typename T>
  T* AddJump(char kind, TagWhile* loop, TagIf* owner) {
    T* s = Add(kind, std::make_unique<T>());
    s->partner = loop;
    s->singleBody = 1;
    s->blockOpener = owner;
    owner->SetThen(s);
    return s;
  }
  // for(v = 0; v < limit; v = v + 1)
  TagForWhile* AddCountingFor(TagVar* v, int32_t limit) {
    auto loop = std::make_unique<TagForWhile>(Compare(v, kOpLess, Var(limit)));
    loop->SetInit(v, nullptr, Var(0), kOpCopy, nullptr);
    loop->SetStep(v, nullptr, v, kOpAdd, Var(1));
    return Add(kKindLoop, std::move(loop));
  }
  // A body of one statement that leads back to its loop head.
  Step* AddLoopBody(TagWhile* loop, std::string label, std::function<int32_t()> action = {}) {
    Step* s = AddStep(std::move(label), std::move(action));
    s->singleBody = 1;
    s->partner = s;
    s->blockOpener = loop;
    loop->SetBody(s);
    return s;
  }

  // The condition "_tempVal = v" (one copy instruction); counted when a
  // counter is given.
  std::unique_ptr<TagExpre> Copy(TagVar* v, int* count = nullptr) {
    std::vector<TagCalculate> code{TagCalculate(Var(0), nullptr, v, kOpCopy)};
    if (count != nullptr) return std::make_unique<CountingExpre>(code, count);
    return std::make_unique<TagExpre>(code);
  }
  std::unique_ptr<TagExpre> Compare(TagVar* left, uint8_t op, TagVar* right) {
    return std::make_unique<TagExpre>(
        std::vector<TagCalculate>{TagCalculate(Var(0), nullptr, left, op, right)});
  }

  // Runs the list from its first statement; the statement run last before
  // (last_) stays from the previous run, as when a main script starts
  // again at its top. A wrong link cannot hang: the steps are bounded.
  std::string Run(int max_steps = 500) {
    trace_.clear();
    failures_.clear();
    TagOper* current = list_.front().get();
    for (int steps = 0; current != nullptr; ++steps) {
      if (steps == max_steps) {
        ADD_FAILURE() << "no end after " << max_steps << " statements: " << trace_;
        break;
      }
      current->previousExecuted = last_;
      const int32_t result = current->Execute();
      if (result < 0) failures_.push_back(current->statementIndex);
      retVal_.SetInt(result);
      last_ = current;
      current = current->Next();
    }
    return trace_;
  }

  void Clear() {
    list_.clear();
    last_ = nullptr;
  }

  std::deque<TagVar> vars_;
  std::vector<std::unique_ptr<TagOper>> list_;
  TagVar retVal_;
  std::string trace_;
  std::vector<int32_t> failures_;  // indexes of statements that returned < 0
  TagOper* last_ = nullptr;
};

// Appends the loop variable's kind and text form, as "i1 ", "sk ", "f1.5 ".
std::function<int32_t()> Visit(std::string* trace, const TagVar* v) {
  return [trace, v] {
    const char* kinds = "nsifmF";
    *trace += kinds[v->kind];
    *trace += v->ToText() + " ";
    return 0;
  };
}

// if(x1) {a} else if(x2) {b} else if(x3) {c} else {d} z
TEST_F(ControlFlowTest, IfChainRunsOneBlockAndEvaluatesElseIfsOnlyAsFarAsNeeded) {
  TagVar* x[3] = {Var(0), Var(0), Var(0)};
  int evaluated[3] = {0, 0, 0};
  TagIf* head = AddIf(kKindIf, Copy(x[0], &evaluated[0]));
  head->SetThen(AddNull(kKindBlockStart, head));
  AddStep("a")->blockOpener = head;
  AddEnd(head);
  for (int k : {1, 2}) {
    TagIf* else_if = AddIf(kKindElseIf, Copy(x[k], &evaluated[k]));
    else_if->chainHead = head;
    head->AddElseIf(else_if);
    else_if->SetThen(AddNull(kKindBlockStart, else_if));
    AddStep(k == 1 ? "b" : "c")->blockOpener = else_if;
    AddEnd(else_if);
  }
  AddNull(kKindElse, nullptr);
  head->SetElse(AddNull(kKindBlockStart, head));
  AddStep("d")->blockOpener = head;
  AddEnd(head);
  head->next = AddStep("z");
  head->PropagateNext();

  struct Case {
    int32_t values[3];
    const char* trace;
    int evaluated[3];
  };
  const Case cases[] = {
      {{1, 1, 1}, "az", {1, 0, 0}},
      {{0, 7, 1}, "bz", {1, 1, 0}},
      {{0, 0, -1}, "cz", {1, 1, 1}},
      {{0, 0, 0}, "dz", {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    for (int i = 0; i < 3; ++i) {
      x[i]->SetInt(c.values[i]);
      evaluated[i] = 0;
    }
    EXPECT_EQ(Run(), c.trace);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(evaluated[i], c.evaluated[i]) << "condition " << i;
  }
}

// if(x1) a; else if(x2) b; z -- single-statement bodies lead past the chain.
TEST_F(ControlFlowTest, SingleStatementBodiesOfAChainLeadPastIt) {
  TagVar* x1 = Var(0);
  TagVar* x2 = Var(0);
  TagIf* head = AddIf(kKindIf, Copy(x1));
  Step* a = AddStep("a");
  TagIf* else_if = AddIf(kKindElseIf, Copy(x2));
  Step* b = AddStep("b");
  for (auto [owner, body] : {std::pair<TagIf*, Step*>{head, a}, {else_if, b}}) {
    body->singleBody = 1;
    body->partner = body;
    body->blockOpener = owner;
    owner->SetThen(body);
  }
  else_if->chainHead = head;
  head->AddElseIf(else_if);
  head->next = AddStep("z");
  head->PropagateNext();
  EXPECT_EQ(else_if->next, head->next);

  const std::pair<int32_t, int32_t> values[] = {{1, 1}, {0, 1}, {0, 0}};
  const char* traces[] = {"az", "bz", "z"};
  for (int i = 0; i < 3; ++i) {
    x1->SetInt(values[i].first);
    x2->SetInt(values[i].second);
    EXPECT_EQ(Run(), traces[i]);
  }
}

// switch(v) { case(1) case(2) {a} case(3) case(1) {b} default {d} } z
TEST_F(ControlFlowTest, SwitchTakesTheFirstEqualCaseWithoutFallThrough) {
  TagVar* v = Var(0);
  TagSwitch* sw = Add(kKindSwitch, std::make_unique<TagSwitch>(v));
  AddNull(kKindBlockStart, sw);
  TagOper* block_a = nullptr;
  TagOper* block_b = nullptr;
  for (auto [block, label, values] :
       {std::tuple<TagOper**, const char*, std::vector<int32_t>>{&block_a, "a", {1, 2}},
        {&block_b, "b", {3, 1}}}) {
    std::vector<TagVar*> case_values;
    for (int32_t value : values) {
      case_values.push_back(Var(value));
      Add(kKindCase, std::make_unique<TagCase>(case_values.back()))->blockOpener = sw;
    }
    *block = AddNull(kKindBlockStart, sw);
    for (TagVar* value : case_values) sw->AddCase(value, *block);
    AddStep(label)->blockOpener = sw;
    AddEnd(sw);
  }
  AddNull(kKindDefault, sw);
  TagNull* block_d = AddNull(kKindBlockStart, sw);
  EXPECT_EQ(sw->SetDefault(block_d), 0);
  EXPECT_EQ(sw->SetDefault(block_a), -1);  // a second default is refused
  EXPECT_EQ(sw->defaultTarget, block_d);
  AddStep("d")->blockOpener = sw;
  AddEnd(sw);
  AddEnd(sw);
  sw->next = AddStep("z");
  EXPECT_EQ(sw->caseCount, 4);

  struct Case {
    TagVar value;
    bool withDefault;
    const char* trace;
  };
  const Case cases[] = {
      {Int(1), true, "az"}, {Int(2), true, "az"}, {Int(3), true, "bz"},
      {Int(9), true, "dz"}, {Str("x"), true, "dz"}, {Int(9), false, "z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.ToText() + (c.withDefault ? " with default" : " without default"));
    v->Assign(c.value);
    sw->defaultTarget = c.withDefault ? block_d : nullptr;
    EXPECT_EQ(Run(), c.trace);
  }
}

// r (returns 2); switch(_retVal) { case(2) {a} default {d} }
// q (returns 1); if(_retVal) {t} else {e}; z
// The run loop stores each statement's own result 0 into "_retVal" between
// Execute and Next; the decisions must be those of the values before.
TEST_F(ControlFlowTest, DecisionsHoldWhenRetValChangesBeforeNext) {
  AddStep("r", [] { return 2; });
  TagSwitch* sw = Add(kKindSwitch, std::make_unique<TagSwitch>(&retVal_));
  AddNull(kKindBlockStart, sw);
  Add(kKindCase, std::make_unique<TagCase>(Var(2)))->blockOpener = sw;
  sw->AddCase(Var(2), AddNull(kKindBlockStart, sw));
  AddStep("a")->blockOpener = sw;
  AddEnd(sw);
  AddNull(kKindDefault, sw);
  sw->SetDefault(AddNull(kKindBlockStart, sw));
  AddStep("d")->blockOpener = sw;
  AddEnd(sw);
  AddEnd(sw);
  sw->next = AddStep("q", [] { return 1; });
  TagIf* head = AddIf(kKindIf, Copy(&retVal_));
  head->SetThen(AddNull(kKindBlockStart, head));
  AddStep("t")->blockOpener = head;
  AddEnd(head);
  AddNull(kKindElse, nullptr);
  head->SetElse(AddNull(kKindBlockStart, head));
  AddStep("e")->blockOpener = head;
  AddEnd(head);
  head->next = AddStep("z");
  head->PropagateNext();

  EXPECT_EQ(Run(), "raqtz");
}

// for(i = 0; i < 3; i++) {
//   for(j = 0; j < 3; j++) {
//     a (skip = j == 0, stop = i == 1 && j == 1)
//     if(skip) continue;
//     if(stop) break;
//     b
//   }
//   c (done = i == 2)
//   if(done) break;
// }
// z
TEST_F(ControlFlowTest, BreakAndContinueActOnTheirOwnLoop) {
  TagVar* i = Var(0);
  TagVar* j = Var(0);
  TagVar* skip = Var(0);
  TagVar* stop = Var(0);
  TagVar* done = Var(0);
  auto ij = [i, j] { return std::to_string(i->GetInt()) + std::to_string(j->GetInt()) + " "; };

  TagForWhile* outer = AddCountingFor(i, 3);
  outer->SetBody(AddNull(kKindBlockStart, outer));
  TagForWhile* inner = AddCountingFor(j, 3);
  inner->blockOpener = outer;
  inner->SetBody(AddNull(kKindBlockStart, inner));
  AddStep("a", [&, i, j, skip, stop] {
    trace_ += ij();
    skip->SetInt(j->GetInt() == 0);
    stop->SetInt(i->GetInt() == 1 && j->GetInt() == 1);
    return 0;
  })->blockOpener = inner;
  TagIf* if_skip = AddIf(kKindIf, Copy(skip));
  if_skip->blockOpener = inner;
  AddJump<TagContinue>(kKindContinue, inner, if_skip);
  TagIf* if_stop = AddIf(kKindIf, Copy(stop));
  if_stop->blockOpener = inner;
  if_skip->next = if_stop;
  AddJump<TagBreak>(kKindBreak, inner, if_stop);
  if_stop->next = AddStep("b", [&] {
    trace_ += ij();
    return 0;
  });
  AddEnd(inner);
  inner->next = AddStep("c", [&, i, done] {
    trace_ += std::to_string(i->GetInt()) + " ";
    done->SetInt(i->GetInt() == 2);
    return 0;
  });
  TagIf* if_done = AddIf(kKindIf, Copy(done));
  if_done->blockOpener = outer;
  AddJump<TagBreak>(kKindBreak, outer, if_done);
  if_done->next = AddEnd(outer);
  outer->next = AddStep("z");

  EXPECT_EQ(Run(), "a00 a01 b01 a02 b02 c0 a10 a11 c1 a20 a21 b21 a22 b22 c2 z");
  EXPECT_EQ(i->GetInt(), 2);  // left by the break, before the step
}

// A loop that is the first statement of a main script is entered again from
// below when the script starts over at its top: leaving it (by its
// condition, by "break;" or at the end of the items) must make that entry a
// fresh one.
TEST_F(ControlFlowTest, LoopsLeftAndEnteredAgainStartAfresh) {
  TagVar* i = Var(0);
  TagVar* stop = Var(0);
  TagVar* x = Var(0);
  TagVar* text = Var(0);
  text->SetString("ab");
  auto show_i = [&, i] {
    trace_ += std::to_string(i->GetInt());
    return 0;
  };
  const std::vector<std::pair<const char*, std::function<void()>>> loops = {
      {"a0a1z",  // for(i = 0; i < 2; i++) a; z
       [&] {
         TagForWhile* loop = AddCountingFor(i, 2);
         AddLoopBody(loop, "a", show_i);
         loop->next = AddStep("z");
       }},
      {"a0a1z",  // for(i = 0; i < 5; i++) { a (stop = i == 1); if(stop) break; } z
       [&] {
         TagForWhile* loop = AddCountingFor(i, 5);
         loop->SetBody(AddNull(kKindBlockStart, loop));
         AddStep("a", [&, i, stop] {
           stop->SetInt(i->GetInt() == 1);
           return show_i();
         })->blockOpener = loop;
         TagIf* if_stop = AddIf(kKindIf, Copy(stop));
         if_stop->blockOpener = loop;
         AddJump<TagBreak>(kKindBreak, loop, if_stop);
         if_stop->next = AddEnd(loop);
         loop->next = AddStep("z");
       }},
      {"sa sb z",  // for(x in text) a; z
       [&] {
         TagForIn* loop = Add(kKindLoop, std::make_unique<TagForIn>(x, text));
         AddLoopBody(loop, "", Visit(&trace_, x));
         loop->next = AddStep("z");
       }},
  };
  for (const auto& [expected, build] : loops) {
    Clear();
    build();
    SCOPED_TRACE(expected);
    EXPECT_EQ(Run(), expected);
    ASSERT_EQ(last_, list_.back().get());
    EXPECT_EQ(Run(), expected) << "entered again from below";
  }
}

// A loop left in its middle by "return(" from a function: the next call
// runs the function from its top, the loop is entered from the statement
// above it and starts afresh.
//   s; for(...) { a (stop = second pass); if(stop) return(); } z
TEST_F(ControlFlowTest, LoopLeftByReturnStartsAfreshOnTheNextCall) {
  TagVar* i = Var(0);
  TagVar* x = Var(0);
  TagVar* text = Var(0);
  text->SetString("abc");
  TagVar* stop = Var(0);
  int passes = 0;
  const std::vector<std::pair<const char*, std::function<TagWhile*()>>> loops = {
      {"0 1 ", [&] { return AddCountingFor(i, 3); }},
      {"a b ", [&] { return Add(kKindLoop, std::make_unique<TagForIn>(x, text)); }},
  };
  for (const auto& [expected, make_loop] : loops) {
    SCOPED_TRACE(expected);
    Clear();
    AddStep("");
    TagWhile* loop = make_loop();
    loop->SetBody(AddNull(kKindBlockStart, loop));
    AddStep("", [&, i, x, stop] {
      trace_ += (x->kind == kVarString ? x->ToText() : i->ToText()) + " ";
      stop->SetInt(++passes % 2 == 0);
      return 0;
    })->blockOpener = loop;
    TagIf* if_stop = AddIf(kKindIf, Copy(stop));
    if_stop->blockOpener = loop;
    Step* ret = AddStep("");
    ret->singleBody = 1;
    ret->partner = ret;
    ret->blockOpener = if_stop;
    if_stop->SetThen(ret);
    if_stop->next = AddEnd(loop);
    ret->next = nullptr;  // the function's run ends
    loop->next = AddStep("z");
    for (int call = 0; call < 2; ++call) {
      last_ = nullptr;
      EXPECT_EQ(Run(), expected) << "call " << call;
    }
  }
}

// for(x in coll) a; z
TEST_F(ControlFlowTest, ForInVisitsEveryItemOnce) {
  TagVar* x = Var(0);
  struct Case {
    const char* name;
    std::function<void(TagVar&)> fill;  // on a NULL value
    const char* trace;
    size_t failures;
  };
  const Case cases[] = {
      {"empty text", [](TagVar& c) { c.SetString(""); }, "z", 0},
      {"text", [](TagVar& c) { c.SetString("abc"); }, "sa sb sc z", 0},
      {"map",
       [](TagVar& c) {
         c.Element(Flt(1.5))->SetInt(0);
         c.Element(Str("k"))->SetInt(0);
         c.Element(Int(2))->SetInt(0);
         c.Element(Int(-1))->SetInt(0);
       },
       "i-1 i2 sk f1.5 z", 0},
      {"empty map",
       [](TagVar& c) {
         c.Element(Int(1));
         MapTable().Erase(c.mapHandle, Int(1));
       },
       "z", 0},
      {"number", [](TagVar& c) { c.SetInt(5); }, "z", 1},
      {"float", [](TagVar& c) { c.SetFloat(2.5); }, "z", 1},
      {"NULL", [](TagVar&) {}, "z", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    TagVar* coll = &vars_.emplace_back();
    c.fill(*coll);
    TagForIn* loop = Add(kKindLoop, std::make_unique<TagForIn>(x, coll));
    AddLoopBody(loop, "", Visit(&trace_, x));
    loop->next = AddStep("z");
    EXPECT_EQ(Run(), c.trace);
    EXPECT_EQ(failures_.size(), c.failures);
  }
}

// for(x in coll) a; z, where a changes the collection at the first visit:
// the items are those the collection had when the loop was entered.
TEST_F(ControlFlowTest, ForInVisitsTheCollectionAsItWasAtEntry) {
  TagVar* x = Var(0);
  auto map123 = [](TagVar& c) {
    for (int k = 1; k <= 3; ++k) c.Element(Int(k))->SetInt(k);
  };
  struct Case {
    const char* name;
    std::function<void(TagVar&)> fill;
    std::function<void(TagVar&)> change;
    bool loopOverItself;  // for(coll in coll)
    const char* trace;
  };
  const Case cases[] = {
      {"text shortened", [](TagVar& c) { c.SetString("abcd"); },
       [](TagVar& c) { c.SetString("a"); }, false, "sa sb sc sd z"},
      {"text becomes a number", [](TagVar& c) { c.SetString("ab"); },
       [](TagVar& c) { c.SetInt(7); }, false, "sa sb z"},
      {"text is the loop variable", [](TagVar& c) { c.SetString("xyz"); }, {}, true,
       "sx sy sz z"},
      {"map keys erased and added", map123,
       [](TagVar& c) {
         MapTable().Erase(c.mapHandle, Int(2));
         MapTable().Erase(c.mapHandle, Int(3));
         c.Element(Int(0))->SetInt(0);
         c.Element(Str("new"))->SetInt(0);
       },
       false, "i1 i2 i3 z"},
      {"map released", map123, [](TagVar& c) { c.ReleaseMap(); }, false, "i1 i2 i3 z"},
      {"map is the loop variable", map123, {}, true, "i1 i2 i3 z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    TagVar* coll = &vars_.emplace_back();
    c.fill(*coll);
    TagVar* item = c.loopOverItself ? coll : x;
    TagForIn* loop = Add(kKindLoop, std::make_unique<TagForIn>(item, coll));
    bool first = true;
    auto visit = Visit(&trace_, item);
    AddLoopBody(loop, "", [&, visit] {
      visit();
      if (first && c.change) c.change(*coll);
      first = false;
      return 0;
    });
    loop->next = AddStep("z");
    EXPECT_EQ(Run(), c.trace);
    EXPECT_TRUE(failures_.empty());
  }
}

// "}" leads back to a loop head, on to its opener's next, or on to its own
// next at the top of a function body.
TEST_F(ControlFlowTest, BlockEndFollowsItsOpener) {
  auto loop = std::make_unique<TagForWhile>(Copy(Var(1)));
  loop->kindLetter = kKindLoop;
  auto head = std::make_unique<TagIf>(Copy(Var(1)));
  head->kindLetter = kKindIf;
  TagNull after;
  head->next = &after;
  TagNull own_next;
  TagEnd end;
  end.next = &own_next;
  end.blockOpener = loop.get();
  EXPECT_EQ(end.Next(), loop.get());
  end.blockOpener = head.get();
  EXPECT_EQ(end.Next(), &after);
  end.blockOpener = nullptr;
  EXPECT_EQ(end.Next(), &own_next);
}

}  // namespace
}  // namespace engine

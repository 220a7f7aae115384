// The control-flow statements. All control flow is linked while the script
// compiles (statement_compiler.cc); at run time the run loop calls Execute
// and then Next, and these classes answer Next from the links and from the
// decision their Execute made.
//
// Decisions are taken in Execute and only returned by Next: the run loop
// stores a statement's result into "_retVal" and ticks the timers between
// the two, so a condition evaluated in Next would see changed values
// ("switch(_retVal)" must switch on the value the previous statement left).
//
// Ownership: the statements own their condition expressions and the
// counting loop's initialisation and step; targets are statements of the
// same list. Thread rules: the line's thread only.
#ifndef VTTEL_ENGINE_CONTROL_FLOW_H_
#define VTTEL_ENGINE_CONTROL_FLOW_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/calculate.h"
#include "engine/map_table.h"
#include "engine/pvector.h"
#include "engine/statement.h"

namespace engine {

// "{", "else", "default(": nothing to do.
class TagNull : public TagOper {
 public:
  int32_t Execute() override { return 0; }
};

// "}": back to a loop head, else on to the block opener's next.
class TagEnd : public TagOper {
 public:
  int32_t Execute() override { return 0; }
  TagOper* Next() override;
};

// "if(" and "else if(". Only the head of a chain is executed: its Execute
// evaluates its condition and, when that is 0, the conditions of its
// else-ifs in order as far as needed, and keeps the target; Next returns it.
class TagIf : public TagOper {
 public:
  explicit TagIf(std::unique_ptr<TagExpre> condition);
  int32_t Execute() override;
  TagOper* Next() override;

  void SetThen(TagOper* target) { thenTarget = target; }
  void SetElse(TagOper* target) { elseTarget = target; }
  void AddElseIf(TagIf* else_if) { elseIfs.push_back(else_if); }
  // On a chain head: every else-if, and every then-target that is a
  // single-statement body, gets the head's next as its next.
  void PropagateNext();

  TagOper* thenTarget = nullptr;
  TagOper* elseTarget = nullptr;
  std::unique_ptr<TagExpre> condition;
  std::vector<TagIf*> elseIfs;   // on the head of a chain, in source order
  TagIf* chainHead = nullptr;    // on an "else if(" statement

 private:
  bool ConditionHolds() const;
  TagOper* decided_ = nullptr;
  bool executed_ = false;  // before the first Execute, Next is the next field
};

// The loop heads.
class TagWhile : public TagOper {
 public:
  void SetBody(TagOper* start) { bodyStart = start; }
  void Restart() { freshEntry = 1; }

  TagOper* bodyStart = nullptr;
  uint8_t freshEntry = 1;

 protected:
  // A fresh entry: from above (the statement run before has a lower index,
  // or none) or after the loop was left.
  void NoteEntry();
  // Leaving the loop: the next entry is a fresh one; returns next.
  TagOper* Leave();
};

// "while(" and the counting "for(": initialisation on a fresh entry, else
// the step; then the condition.
class TagForWhile : public TagWhile {
 public:
  explicit TagForWhile(std::unique_ptr<TagExpre> condition);
  int32_t Execute() override;
  TagOper* Next() override;

  // Each builds one instruction (dest = left op right, no index; op 0 is a
  // copy of left).
  void SetInit(TagVar* dest, TagVar* dest_index, TagVar* left, uint8_t op, TagVar* right);
  void SetStep(TagVar* dest, TagVar* dest_index, TagVar* left, uint8_t op, TagVar* right);

  std::unique_ptr<TagExpre> condition;
  std::unique_ptr<TagCalculate> init;
  std::unique_ptr<TagCalculate> step;

 private:
  bool holds_ = false;
};

// "for(" item "in" collection: over the bytes of a text or the keys of a
// map (a snapshot of copies taken at entry).
class TagForIn : public TagWhile {
 public:
  TagForIn(TagVar* variable, TagVar* collection);
  int32_t Execute() override;
  TagOper* Next() override;

  TagVar* variable = nullptr;
  TagVar* collection = nullptr;
  int32_t lastPosition = -1;
  int32_t position = 0;
  std::vector<TagVarP> keys;
  uint8_t textFlag = 0;

 private:
  // A fresh entry: the snapshot of the collection; -1 for a collection
  // that is neither a text nor a map.
  int32_t Start();
  // The item at position into the loop variable.
  void GiveItem();

  bool more_ = false;  // Execute gave the variable an item
  std::string text_;   // the text as it was at entry
};

// "switch(": the first case value equal to the switch value, else the
// default, else the switch's next; decided in Execute.
class TagSwitch : public TagOper {
 public:
  explicit TagSwitch(TagVar* value);
  int32_t Execute() override;
  TagOper* Next() override;

  void AddCase(TagVar* value, TagOper* target);
  // -1 when a default target is set already.
  int32_t SetDefault(TagOper* target);

  pvector<TagOper> caseTargets;
  pvector<TagVar> caseValues;
  int32_t caseCount = 0;
  TagVar* value = nullptr;
  TagOper* defaultTarget = nullptr;

 private:
  TagOper* decided_ = nullptr;
  bool executed_ = false;
};

// "case(": its value is registered with the switch at the block's "{".
class TagCase : public TagNull {
 public:
  explicit TagCase(TagVar* value) : caseValue(value) {}
  TagVar* caseValue = nullptr;
};

// "break;" and "continue;": the partner is the loop head.
class TagBreak : public TagOper {
 public:
  int32_t Execute() override { return 0; }
  TagOper* Next() override;
};

class TagContinue : public TagOper {
 public:
  int32_t Execute() override { return 0; }
  TagOper* Next() override { return partner; }
};

// Marks the statements of a linked list that only pass control on and
// gives each the statement its jumps lead to (TagOper::passesOn and
// jumpLanding), each whose Next the links decide that Next (nextFixed,
// fixedNext), and the statements whose result is plain (plainResult).
// Called once the script is linked, before its first run; a ring of such
// statements with nothing else on it stays unmarked.
void ResolveJumps(const pvector<TagOper>& statements);

}  // namespace engine

#endif  // VTTEL_ENGINE_CONTROL_FLOW_H_

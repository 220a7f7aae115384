// The expression instructions of the script language.
//
// TagCalculate: one three-address instruction, dest[destIndex] = left op
// right, placed in a statement list by itself (x = a + b) or inside a
// TagExpre. TagExpre: the ordered instructions of a longer expression, whose
// intermediate values go to the temporaries "__m%d". TagMulPlus: a chain of
// additions only, summed left to right. All three are statements of kind
// '='.
//
// The target of an instruction is dest itself, or with destIndex the element
// dest[destIndex] (Element: dest becomes a new map first when it is not
// one). Writes go through AssignInt, AssignFloat or Assign, so a read-only
// target refuses silently. No instruction reports an error: a division by
// zero, or a pair of kinds an opcode has no rule for, leaves the target as it
// was.
//
// Ownership: operands, dest and destIndex are variables of the script (its
// allVariables, parameters or pooled constants) and must outlive the
// instruction. A TagExpre owns copies of its instructions.
//
// Performance: an instruction whose operands and result are integers or
// floats allocates nothing; temporaries are script variables made once by
// the compiler and only written at run time.
//
// Thread rules: run on the line's thread only; map operations take the map
// table's locks.
#ifndef VTTEL_ENGINE_CALCULATE_H_
#define VTTEL_ENGINE_CALCULATE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/int_math.h"
#include "engine/number_steps.h"
#include "engine/statement.h"
#include "engine/tag_var.h"

namespace engine {

// Opcodes; the letters are those SplitExpression yields (split_expression.h).
// l = left, r = right, "int" results are 0 or 1 unless said otherwise.
enum CalcOpcode : uint8_t {
  kOpCopy = 0,         // OP_COPY: Assign of l
  kOpNot = '!',        // OP_NOT: int, 1 when GetInt(l) is 0
  kOpComplement = '~', // OP_COMPLEMENT: int, ~GetInt(l)
  kOpEqual = '=',      // OP_EQUAL "==" (and "="): int Equals(l, r)
  kOpNotEqual = '#',   // OP_NOT_EQUAL "!=": int 1 - Equals(l, r)
  kOpLess = '<',       // OP_LESS: int Less(l, r)
  kOpGreater = '>',    // OP_GREATER: int Greater(l, r)
  kOpLessEqual = 'l',  // OP_LESS_EQUAL "<=": int Less or Equals
  kOpGreaterEqual = 'g',  // OP_GREATER_EQUAL ">=": int Greater or Equals
  kOpAnd = 'a',        // OP_AND "&&": int, GetInt(l) and GetInt(r) non-zero (both computed)
  kOpOr = 'o',         // OP_OR "||": int, either GetInt non-zero (both computed)
  kOpBitAnd = '&',     // OP_BIT_AND: int GetInt(l) & GetInt(r)
  kOpBitOr = '|',      // OP_BIT_OR: int GetInt(l) | GetInt(r)
  kOpBitXor = '^',     // OP_BIT_XOR: int GetInt(l) ^ GetInt(r)
  kOpShiftLeft = 'L',  // OP_SHL "<<": int GetInt(l) << (GetInt(r) & 31), wrapping
  kOpShiftRight = 'R', // OP_SHR ">>": map l: erase key r, then Assign l unless dest is l;
                       //   else int GetInt(l) >> (GetInt(r) & 31), sign kept
  kOpMod = '%',        // OP_MOD: GetInt(r) 0 stores nothing; else int remainder, sign of l
  kOpDiv = '/',        // OP_DIV: a float: |GetFloat(r)| <= 0.001 nothing, else float quotient;
                       //   else an int: GetInt(r) 0 nothing, else int quotient toward 0;
                       //   else nothing
  kOpMul = '*',        // OP_MUL: string l, int r: l repeated r times (r < 0 as 0);
                       //   a float: float product; an int: int product; two maps:
                       //   intersection; else nothing
  kOpAdd = '+',        // OP_ADD: TagVar addition (strings append, maps unite, numbers add)
  kOpSub = '-',        // OP_SUB: two maps: difference; a float: float; an int: int;
                       //   else the target's numeric fields (see SubtractFields);
                       //   with r null, OP_NEG: int l negated (wrapping), float l
                       //   negated, other kinds as SubtractFields with l alone
  kOpElement = '[',    // OP_ELEMENT "l[r]": Assign of GetElement(l, r) (NULL when absent)
};

// The value (0 or 1) of a comparison opcode (== != < > <= >=) over two
// integers into v; false, v untouched, for any other opcode.
inline bool CompareIntegers(uint8_t op, int32_t l, int32_t r, int32_t& v) {
  switch (op) {
    case kOpEqual: v = l == r; return true;
    case kOpNotEqual: v = l != r; return true;
    case kOpLess: v = l < r; return true;
    case kOpGreater: v = l > r; return true;
    case kOpLessEqual: v = l <= r; return true;
    case kOpGreaterEqual: v = l >= r; return true;
    default: return false;
  }
}

// The opcodes over two integers, the most frequent case: v = l op r; false
// (v untouched) when the opcode has no rule for integers or stores nothing
// for these operands (a division or remainder by 0).
inline bool IntegerResult(uint8_t op, int32_t l, int32_t r, int32_t& v) {
  switch (op) {
    case kOpAdd: v = WrapAdd(l, r); return true;
    case kOpSub: v = WrapSub(l, r); return true;
    case kOpMul: v = WrapMul(l, r); return true;
    case kOpDiv:
      if (r == 0) return false;
      v = WrapDiv(l, r);
      return true;
    case kOpMod:
      if (r == 0) return false;
      v = WrapMod(l, r);
      return true;
    case kOpAnd: v = l != 0 && r != 0; return true;
    case kOpOr: v = l != 0 || r != 0; return true;
    case kOpBitAnd: v = l & r; return true;
    case kOpBitOr: v = l | r; return true;
    case kOpBitXor: v = l ^ r; return true;
    case kOpShiftLeft: v = WrapShl(l, r); return true;
    case kOpShiftRight: v = l >> (r & 31); return true;
    default: return CompareIntegers(op, l, r, v);
  }
}

// The divisor below which (in magnitude, inclusive) a float division stores
// nothing.
inline constexpr double kSmallestDivisor = 0.001;

// + - * / over two numbers taken as floats: v = l op r; false (v untouched)
// for the other opcodes and for a divisor within kSmallestDivisor of 0.
inline bool FloatResult(uint8_t op, double l, double r, double& v) {
  switch (op) {
    case kOpAdd: v = l + r; return true;
    case kOpSub: v = l - r; return true;
    case kOpMul: v = l * r; return true;
    case kOpDiv:
      if (r >= -kSmallestDivisor && r <= kSmallestDivisor) return false;
      v = l / r;
      return true;
    default: return false;
  }
}

// The frequent numeric cases of l op r: two integers (an integer result in
// i), or + - * / over a float and a float or an integer (a float result in
// f). Returns the result's kind, kVarInt or kVarFloat, or kVarNull when
// these operands or this opcode take the general path (nothing computed).
inline int32_t NumbersResult(uint8_t op, const TagVar& l, const TagVar& r, int32_t& i,
                             double& f) {
  if (l.kind == kVarInt && r.kind == kVarInt) {
    return IntegerResult(op, l.intValue, r.intValue, i) ? kVarInt : kVarNull;
  }
  const bool left_float = l.kind == kVarFloat;
  const bool right_float = r.kind == kVarFloat;
  if (!(left_float || right_float)) return kVarNull;
  if (!(left_float || l.kind == kVarInt) || !(right_float || r.kind == kVarInt)) return kVarNull;
  return FloatResult(op, left_float ? l.floatValue : l.intValue,
                     right_float ? r.floatValue : r.intValue, f)
             ? kVarFloat
             : kVarNull;
}

class TagCalculate final : public TagOper {
 public:
  // Two operands: dest[destIndex] = left op right.
  TagCalculate(TagVar* dest, TagVar* dest_index, TagVar* left, uint8_t op, TagVar* right);
  // One operand (a copy or a prefix operator); right is null.
  TagCalculate(TagVar* dest, TagVar* dest_index, TagVar* operand, uint8_t op);
  // A copy of another instruction's opcode, operands and target (the
  // statement fields start fresh).
  TagCalculate(const TagCalculate& other);
  TagCalculate& operator=(const TagCalculate&) = delete;

  // Performs the opcode; returns 0. The numeric step first, inline; the
  // rest out of line.
  int32_t Execute() override;
  // The frequent numeric cases (two integers; + - * / with a float and a
  // number), inline where expressions run; false leaves the instruction to
  // Execute's general opcode switch (nothing done).
  bool ExecuteNumbers() const;
  // Execute after the numeric step declined (or where there is none).
  [[gnu::noinline]] void ExecuteGeneral() const;

  // Fixed once the instruction runs (the compiler may still set dest and
  // destIndex of an instruction it copies into an expression afterwards).
  uint8_t opcode = kOpCopy;
  TagVar* left = nullptr;
  TagVar* right = nullptr;
  TagVar* dest = nullptr;
  TagVar* destIndex = nullptr;

 private:
  // The opcode's numeric step (number_steps.h) for an instruction of two
  // operands and a plain target, else null; Execute runs it first.
  NumberStep step_ = nullptr;
  void ChooseStep();
  // The target as an element pointer (a dense element in its full form),
  // for the general operations that compute into it.
  TagVar* Target() const;
  void StoreInt(int32_t v) const;
  void StoreFloat(double v) const;
  void StoreValue(const TagVar& v) const;
  void ExecuteAdd() const;
  void ExecuteSubtract() const;
  void ExecuteNegate() const;
  void ExecuteMultiply() const;
  void ExecuteDivide() const;
  void ExecuteShiftRight() const;
  void ExecuteElement() const;
  // Runs compute(out) with out the target, or, when the target could alias
  // an operand, with a value of its own that is then assigned.
  template <typename Compute>
  void StoreComputed(Compute compute) const;
};

// What a target that is a string or a map becomes when an instruction sets
// only its numeric fields (unary minus of a non-number, subtraction of two
// non-numbers): NULL carrying those fields. Integer, float, NULL and
// function targets keep their kind. A read-only target is left unchanged.
void SubtractFields(TagVar& target, int32_t int_value, double float_value);

class TagExpre : public TagOper {
 public:
  // Copies the instructions; REQUIRES: not empty.
  explicit TagExpre(const std::vector<TagCalculate>& instructions);

  // Runs every instruction in order; returns the instruction count.
  int32_t Execute() override;

  // Runs the expression and tells whether its value (as an integer) is
  // not 0; a missing result counts as 0. A condition of one instruction
  // (a comparison, mostly) with a plain target runs its step here, inline
  // (the loop heads and "if(" run it every time).
  bool Holds();

  // The variable that holds the value after Execute (the last
  // instruction's dest; with an index, dest is the map written into).
  TagVar* ResultVariable() const { return result_; }
  int32_t InstructionCount() const { return static_cast<int32_t>(instructions_.size()); }
  const std::vector<TagCalculate>& instructions() const { return instructions_; }

 private:
  // An instruction's numeric step (number_steps.h), when it has two operands
  // and a plain target; run before its general path.
  struct Step {
    NumberStep run = nullptr;
    const TagVar* left = nullptr;
    const TagVar* right = nullptr;
    TagVar* target = nullptr;
    bool Runs() const { return run != nullptr && run(*left, *right, *target); }
  };

  std::vector<TagCalculate> instructions_;
  std::vector<Step> steps_;  // one per instruction
  TagVar* result_ = nullptr;
  // The step of the single instruction, when the expression is one
  // instruction that has a step (a copy of steps_[0], kept beside result_).
  Step single_;
  // Instruction i by its general path, out of the steps' loop.
  [[gnu::noinline]] void RunGeneral(ptrdiff_t i);
};

inline bool TagExpre::Holds() {
  if (!single_.Runs()) Execute();
  if (result_ == nullptr) return false;
  return (result_->kind == kVarInt ? result_->intValue : result_->GetInt()) != 0;
}

// The most operands a chain of additions holds; more are cut.
inline constexpr int32_t kMaxPlusOperands = 40;

class TagMulPlus : public TagOper {
 public:
  // Takes at most kMaxPlusOperands of the operands.
  TagMulPlus(const std::vector<TagVar*>& operands, TagVar* dest, TagVar* dest_index);

  // dest[destIndex] = operand 1 + operand 2 + ... left to right, by the
  // addition rules of TagVar; returns 0, or -1 (nothing stored) with fewer
  // than 3 operands.
  int32_t Execute() override;

  int32_t operandCount = 0;
  std::array<TagVar*, kMaxPlusOperands> operands{};
  TagVar* dest = nullptr;
  TagVar* destIndex = nullptr;
};

}  // namespace engine

#endif  // VTTEL_ENGINE_CALCULATE_H_

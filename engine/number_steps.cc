#include "engine/number_steps.h"

#include "engine/calculate.h"

namespace engine {
namespace {

template <uint8_t Op>
bool Step(const TagVar& left, const TagVar& right, TagVar& target) {
  if (target.readOnly != 0 || target.kind == kVarMap) return false;
  // The target may be an operand: the value is computed before it is written.
  int32_t i;
  double f;
  switch (NumbersResult(Op, left, right, i, f)) {
    case kVarInt:
      target.kind = kVarInt;
      target.intValue = i;
      return true;
    case kVarFloat:
      target.kind = kVarFloat;
      target.floatValue = f;
      return true;
    default: return false;
  }
}

}  // namespace

NumberStep NumberStepFor(uint8_t opcode) {
  switch (opcode) {
    case kOpAdd: return Step<kOpAdd>;
    case kOpSub: return Step<kOpSub>;
    case kOpMul: return Step<kOpMul>;
    case kOpDiv: return Step<kOpDiv>;
    case kOpMod: return Step<kOpMod>;
    case kOpAnd: return Step<kOpAnd>;
    case kOpOr: return Step<kOpOr>;
    case kOpBitAnd: return Step<kOpBitAnd>;
    case kOpBitOr: return Step<kOpBitOr>;
    case kOpBitXor: return Step<kOpBitXor>;
    case kOpShiftLeft: return Step<kOpShiftLeft>;
    case kOpShiftRight: return Step<kOpShiftRight>;
    case kOpEqual: return Step<kOpEqual>;
    case kOpNotEqual: return Step<kOpNotEqual>;
    case kOpLess: return Step<kOpLess>;
    case kOpGreater: return Step<kOpGreater>;
    case kOpLessEqual: return Step<kOpLessEqual>;
    case kOpGreaterEqual: return Step<kOpGreaterEqual>;
    default: return nullptr;
  }
}

}  // namespace engine

// NumberStep: one instruction of an expression, specialised to its opcode
// when the expression is built, for the frequent numeric cases (two
// integers; + - * / over a float and a number: NumbersResult in
// calculate.h), so that running it needs no opcode switch. A step computes
// and stores only for those operands and a plain writable target that
// holds no map; otherwise it returns false having changed nothing, and the
// instruction's general path runs (which gives the same result where the
// step would have given one).
//
// Thread rules: none of its own; the operands are the running line's.
#ifndef VTTEL_ENGINE_NUMBER_STEPS_H_
#define VTTEL_ENGINE_NUMBER_STEPS_H_

#include <cstdint>

#include "engine/tag_var.h"

namespace engine {

using NumberStep = bool (*)(const TagVar& left, const TagVar& right, TagVar& target);

// The step of a two-operand opcode; null for the opcodes that have none
// (copies, prefix operators, elements).
NumberStep NumberStepFor(uint8_t opcode);

}  // namespace engine

#endif  // VTTEL_ENGINE_NUMBER_STEPS_H_

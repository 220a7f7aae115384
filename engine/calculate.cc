#include "engine/calculate.h"

#include "engine/int_math.h"
#include "engine/map_table.h"

namespace engine {
namespace {

bool EitherFloat(const TagVar& a, const TagVar& b) {
  return a.kind == kVarFloat || b.kind == kVarFloat;
}
bool EitherInt(const TagVar& a, const TagVar& b) { return a.kind == kVarInt || b.kind == kVarInt; }
bool BothMaps(const TagVar& a, const TagVar& b) { return a.kind == kVarMap && b.kind == kVarMap; }

// The writes into dest, or with an index into its element (dest becomes a
// map first when it is not one), by value: a compact element stays so.
void StoreIntInto(TagVar& dest, const TagVar* index, int32_t v) {
  if (index != nullptr) {
    dest.AssignElementInt(*index, v);
  } else {
    dest.AssignInt(v);
  }
}

void StoreFloatInto(TagVar& dest, const TagVar* index, double v) {
  if (index != nullptr) {
    dest.AssignElementFloat(*index, v);
  } else {
    dest.AssignFloat(v);
  }
}

void StoreValueInto(TagVar& dest, const TagVar* index, const TagVar& v) {
  if (index == nullptr) {
    dest.Assign(v);
  } else if (&v != &dest) {
    dest.AssignElement(*index, v);
  } else {
    // Finding the element may turn dest into a map: its value is read first.
    TagVar value;
    value.Assign(v);
    dest.AssignElement(*index, value);
    value.ReleaseMap();
  }
}

}  // namespace

void SubtractFields(TagVar& target, int32_t int_value, double float_value) {
  if (target.readOnly) return;
  if (target.kind == kVarString || target.kind == kVarMap) {
    // A string's intValue is its length and a map needs its handle: such a
    // target cannot keep its kind with foreign numbers in it.
    target.ReleaseMap();
    target.kind = kVarNull;
  }
  target.intValue = int_value;
  target.floatValue = float_value;
}

// --- TagCalculate ---------------------------------------------------------

TagCalculate::TagCalculate(TagVar* dest_var, TagVar* dest_index, TagVar* left_var, uint8_t op,
                           TagVar* right_var)
    : opcode(op), left(left_var), right(right_var), dest(dest_var), destIndex(dest_index) {
  kindLetter = kKindAssign;
  ChooseStep();
}

TagCalculate::TagCalculate(TagVar* dest_var, TagVar* dest_index, TagVar* operand, uint8_t op)
    : TagCalculate(dest_var, dest_index, operand, op, nullptr) {}

TagCalculate::TagCalculate(const TagCalculate& other)
    : TagOper(),
      opcode(other.opcode),
      left(other.left),
      right(other.right),
      dest(other.dest),
      destIndex(other.destIndex) {
  kindLetter = kKindAssign;
  ChooseStep();
}

void TagCalculate::ChooseStep() {
  const bool plain = dest != nullptr && destIndex == nullptr && left != nullptr && right != nullptr;
  step_ = plain ? NumberStepFor(opcode) : nullptr;
}

TagVar* TagCalculate::Target() const {
  return destIndex != nullptr ? dest->Element(*destIndex) : dest;
}

void TagCalculate::StoreInt(int32_t v) const { StoreIntInto(*dest, destIndex, v); }

void TagCalculate::StoreFloat(double v) const { StoreFloatInto(*dest, destIndex, v); }

void TagCalculate::StoreValue(const TagVar& v) const { StoreValueInto(*dest, destIndex, v); }

// Inlined into Execute and TagExpre: the numeric cases are the hot ones.
[[gnu::always_inline]] inline bool TagCalculate::ExecuteNumbers() const {
  if (dest == nullptr || left == nullptr || right == nullptr) return false;
  int32_t i;
  double f;
  switch (NumbersResult(opcode, *left, *right, i, f)) {
    case kVarInt: StoreInt(i); return true;
    case kVarFloat: StoreFloat(f); return true;
    default: return false;
  }
}

template <typename Compute>
void TagCalculate::StoreComputed(Compute compute) const {
  // The target is dest or an element of it; only dest itself can be an
  // operand (elements never are), and finding an element may turn dest
  // into a map, so an aliased operand is read before the target is touched.
  if (dest != left && dest != right) {
    compute(*Target());
    return;
  }
  TagVar value;
  compute(value);
  StoreValue(value);
  value.ReleaseMap();
}

int32_t TagCalculate::Execute() {
  if (step_ != nullptr && destIndex == nullptr && step_(*left, *right, *dest)) return 0;
  ExecuteGeneral();
  return 0;
}

void TagCalculate::ExecuteGeneral() const {
  if (dest == nullptr || left == nullptr) return;
  // An element read first: no numeric case applies to it.
  if (opcode == kOpElement) {
    if (right != nullptr) ExecuteElement();
    return;
  }
  if (ExecuteNumbers()) return;
  const TagVar& l = *left;
  switch (opcode) {
    case kOpCopy:
      if (dest == left && destIndex == nullptr) return;
      StoreValue(l);
      return;
    case kOpNot:
      StoreInt(l.GetInt() == 0 ? 1 : 0);
      return;
    case kOpComplement:
      StoreInt(~l.GetInt());
      return;
    case kOpSub:
      if (right == nullptr) {
        ExecuteNegate();
      } else {
        ExecuteSubtract();
      }
      return;
    default:
      break;
  }
  if (right == nullptr) return;  // a two-operand opcode without its operand
  const TagVar& r = *right;
  switch (opcode) {
    case kOpEqual:
      StoreInt(TagVar::Equals(l, r));
      break;
    case kOpNotEqual:
      StoreInt(1 - TagVar::Equals(l, r));
      break;
    case kOpLess:
      StoreInt(TagVar::Less(l, r));
      break;
    case kOpGreater:
      StoreInt(TagVar::Greater(l, r));
      break;
    case kOpLessEqual:
      StoreInt(TagVar::Less(l, r) != 0 || TagVar::Equals(l, r) != 0 ? 1 : 0);
      break;
    case kOpGreaterEqual:
      StoreInt(TagVar::Greater(l, r) != 0 || TagVar::Equals(l, r) != 0 ? 1 : 0);
      break;
    case kOpAnd:
      StoreInt(l.GetInt() != 0 && r.GetInt() != 0 ? 1 : 0);
      break;
    case kOpOr:
      StoreInt(l.GetInt() != 0 || r.GetInt() != 0 ? 1 : 0);
      break;
    case kOpBitAnd:
      StoreInt(l.GetInt() & r.GetInt());
      break;
    case kOpBitOr:
      StoreInt(l.GetInt() | r.GetInt());
      break;
    case kOpBitXor:
      StoreInt(l.GetInt() ^ r.GetInt());
      break;
    case kOpShiftLeft:
      StoreInt(WrapShl(l.GetInt(), r.GetInt()));
      break;
    case kOpShiftRight:
      ExecuteShiftRight();
      break;
    case kOpMod: {
      const int32_t d = r.GetInt();
      if (d != 0) StoreInt(WrapMod(l.GetInt(), d));
      break;
    }
    case kOpDiv:
      ExecuteDivide();
      break;
    case kOpMul:
      ExecuteMultiply();
      break;
    case kOpAdd:
      ExecuteAdd();
      break;
    default:
      break;  // no such opcode: nothing stored
  }
  return;
}

void TagCalculate::ExecuteAdd() const {
  const TagVar& l = *left;
  const TagVar& r = *right;
  // Numbers first: the rules of TagVar addition give a number whenever l is
  // no string, not both are maps and one side is a number.
  if (l.kind != kVarString && !BothMaps(l, r)) {
    if (EitherFloat(l, r)) {
      StoreFloat(l.GetFloat() + r.GetFloat());
      return;
    }
    if (EitherInt(l, r)) {
      StoreInt(WrapAdd(l.GetInt(), r.GetInt()));
      return;
    }
  }
  StoreComputed([&](TagVar& out) { out.AddAssign(l, r); });
}

void TagCalculate::ExecuteSubtract() const {
  const TagVar& l = *left;
  const TagVar& r = *right;
  if (BothMaps(l, r)) {
    StoreComputed([&](TagVar& out) { out.SubtractAssign(l, r); });
  } else if (EitherFloat(l, r)) {
    StoreFloat(l.GetFloat() - r.GetFloat());
  } else if (EitherInt(l, r)) {
    StoreInt(WrapSub(l.GetInt(), r.GetInt()));
  } else {
    const int32_t int_value = WrapSub(l.intValue, r.intValue);
    const double float_value = l.floatValue - r.floatValue;
    SubtractFields(*Target(), int_value, float_value);
  }
}

void TagCalculate::ExecuteNegate() const {
  const TagVar& l = *left;
  if (l.kind == kVarInt) {
    StoreInt(WrapNeg(l.intValue));
  } else if (l.kind == kVarFloat) {
    StoreFloat(-l.floatValue);
  } else {
    const int32_t int_value = WrapNeg(l.intValue);
    const double float_value = -l.floatValue;
    SubtractFields(*Target(), int_value, float_value);
  }
}

void TagCalculate::ExecuteMultiply() const {
  const TagVar& l = *left;
  const TagVar& r = *right;
  if (l.kind == kVarString && r.kind == kVarInt) {
    const int32_t count = r.intValue;
    StoreComputed([&](TagVar& out) { out.RepeatAssign(l, count); });
  } else if (EitherFloat(l, r)) {
    StoreFloat(l.GetFloat() * r.GetFloat());
  } else if (EitherInt(l, r)) {
    StoreInt(WrapMul(l.GetInt(), r.GetInt()));
  } else if (BothMaps(l, r)) {
    StoreComputed([&](TagVar& out) { out.MultiplyAssign(l, r); });
  }
}

void TagCalculate::ExecuteDivide() const {
  const TagVar& l = *left;
  const TagVar& r = *right;
  if (EitherFloat(l, r)) {
    double v;
    if (FloatResult(kOpDiv, l.GetFloat(), r.GetFloat(), v)) StoreFloat(v);
  } else if (EitherInt(l, r)) {
    const int32_t d = r.GetInt();
    if (d == 0) return;
    StoreInt(WrapDiv(l.GetInt(), d));
  }
}

void TagCalculate::ExecuteShiftRight() const {
  const TagVar& l = *left;
  const TagVar& r = *right;
  if (l.kind == kVarMap) {
    MapTable().Erase(l.mapHandle, r);
    if (dest != left) StoreValue(l);
    return;
  }
  StoreInt(l.GetInt() >> (r.GetInt() & 31));
}

void TagCalculate::ExecuteElement() const {
  // A number into a plain variable, copied under the map's lock.
  if (destIndex == nullptr && dest != left && dest != right && left->kind == kVarMap &&
      MapTable().CopyNumbersTo(left->mapHandle, *right, *dest)) {
    return;
  }
  TagVar scratch;
  const TagVar* element = left->PeekElement(*right, scratch);
  if (dest != left && dest != right) {
    StoreValue(*element);
    return;
  }
  // Writing dest may give back the map the element lives in: copy it out
  // first.
  TagVar value;
  value.Assign(*element);
  StoreValue(value);
  value.ReleaseMap();
}

// --- TagExpre -------------------------------------------------------------

TagExpre::TagExpre(const std::vector<TagCalculate>& instructions) {
  kindLetter = kKindAssign;
  instructions_.reserve(instructions.size());
  steps_.reserve(instructions.size());
  for (const TagCalculate& c : instructions) {
    instructions_.emplace_back(c);
    Step& step = steps_.emplace_back();
    if (c.dest != nullptr && c.destIndex == nullptr && c.left != nullptr && c.right != nullptr) {
      step = Step{NumberStepFor(c.opcode), c.left, c.right, c.dest};
    }
  }
  if (!instructions_.empty()) result_ = instructions_.back().dest;
  if (steps_.size() == 1) single_ = steps_.front();
}

int32_t TagExpre::Execute() {
  if (single_.run != nullptr) {
    // One instruction with a step: no loop.
    if (!single_.Runs()) RunGeneral(0);
  } else {
    const Step* const begin = steps_.data();
    const Step* const end = begin + steps_.size();
    for (const Step* s = begin; s != end; ++s) {
      if (!s->Runs()) RunGeneral(s - begin);
    }
  }
  return static_cast<int32_t>(instructions_.size());
}

void TagExpre::RunGeneral(ptrdiff_t i) {
  instructions_[static_cast<size_t>(i)].ExecuteGeneral();
}

// --- TagMulPlus -----------------------------------------------------------

TagMulPlus::TagMulPlus(const std::vector<TagVar*>& list, TagVar* dest_var, TagVar* dest_index)
    : dest(dest_var), destIndex(dest_index) {
  kindLetter = kKindAssign;
  const size_t n = list.size() < static_cast<size_t>(kMaxPlusOperands)
                       ? list.size()
                       : static_cast<size_t>(kMaxPlusOperands);
  for (size_t i = 0; i < n; ++i) operands[i] = list[i];
  operandCount = static_cast<int32_t>(n);
}

int32_t TagMulPlus::Execute() {
  if (operandCount < 3 || dest == nullptr) return -1;
  for (int32_t i = 0; i < operandCount; ++i) {
    if (operands[i] == nullptr) return -1;
  }
  const TagVar& a = *operands[0];
  const TagVar& b = *operands[1];
  if (a.kind != kVarString && !BothMaps(a, b) && (EitherFloat(a, b) || EitherInt(a, b))) {
    // A numeric sum stays numeric whatever follows (a number plus anything
    // is a number), so it is kept in plain numbers.
    bool is_float = EitherFloat(a, b);
    double float_sum = is_float ? a.GetFloat() + b.GetFloat() : 0.0;
    int32_t int_sum = is_float ? 0 : WrapAdd(a.GetInt(), b.GetInt());
    for (int32_t i = 2; i < operandCount; ++i) {
      const TagVar& v = *operands[i];
      if (is_float) {
        float_sum += v.GetFloat();
      } else if (v.kind == kVarFloat) {
        is_float = true;
        float_sum = static_cast<double>(int_sum) + v.floatValue;
      } else {
        int_sum = WrapAdd(int_sum, v.GetInt());
      }
    }
    if (is_float) {
      StoreFloatInto(*dest, destIndex, float_sum);
    } else {
      StoreIntInto(*dest, destIndex, int_sum);
    }
    return 0;
  }
  // Two sums in turn: an addition's result must be neither of its operands.
  TagVar sums[2];
  int current = 0;
  sums[0].AddAssign(a, b);
  for (int32_t i = 2; i < operandCount; ++i) {
    sums[1 - current].AddAssign(sums[current], *operands[i]);
    current = 1 - current;
  }
  StoreValueInto(*dest, destIndex, sums[current]);
  sums[0].ReleaseMap();
  sums[1].ReleaseMap();
  return 0;
}

}  // namespace engine

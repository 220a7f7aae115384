#include "engine/control_flow.h"

#include <utility>

namespace engine {

namespace {

// The condition's value, after running it; a missing condition counts as 0.
bool Holds(TagExpre* expression) { return expression != nullptr && expression->Holds(); }

}  // namespace

// --- TagEnd -----------------------------------------------------------------

TagOper* TagEnd::Next() {
  if (blockOpener == nullptr) return next;
  if (blockOpener->kindLetter == kKindLoop) return blockOpener;
  return blockOpener->next;
}

// --- TagIf ------------------------------------------------------------------

TagIf::TagIf(std::unique_ptr<TagExpre> cond) : condition(std::move(cond)) {}

bool TagIf::ConditionHolds() const { return Holds(condition.get()); }

int32_t TagIf::Execute() {
  if (ConditionHolds()) {
    decided_ = thenTarget;
  } else {
    decided_ = elseTarget != nullptr ? elseTarget : next;
    // An else-if is looked at only when every condition before it was 0.
    for (TagIf* else_if : elseIfs) {
      if (else_if != nullptr && else_if->ConditionHolds()) {
        decided_ = else_if->thenTarget;
        break;
      }
    }
  }
  executed_ = true;
  return 0;
}

TagOper* TagIf::Next() { return executed_ ? decided_ : next; }

void TagIf::PropagateNext() {
  for (TagIf* else_if : elseIfs) {
    if (else_if == nullptr) continue;
    else_if->next = next;
    if (else_if->thenTarget != nullptr && else_if->thenTarget->singleBody != 0) {
      else_if->thenTarget->next = next;
    }
  }
  if (thenTarget != nullptr && thenTarget->singleBody != 0) thenTarget->next = next;
}

// --- TagWhile ---------------------------------------------------------------

void TagWhile::NoteEntry() {
  if (previousExecuted == nullptr || previousExecuted->statementIndex < statementIndex) {
    freshEntry = 1;
  }
}

TagOper* TagWhile::Leave() {
  freshEntry = 1;
  return next;
}

// --- TagForWhile ------------------------------------------------------------

TagForWhile::TagForWhile(std::unique_ptr<TagExpre> cond) : condition(std::move(cond)) {}

int32_t TagForWhile::Execute() {
  NoteEntry();
  if (freshEntry != 0) {
    freshEntry = 0;
    if (init != nullptr) init->Execute();
  } else if (step != nullptr) {
    step->Execute();
  }
  holds_ = Holds(condition.get());
  return 0;
}

TagOper* TagForWhile::Next() { return holds_ ? bodyStart : Leave(); }

void TagForWhile::SetInit(TagVar* dest, TagVar* /*dest_index*/, TagVar* left, uint8_t op,
                          TagVar* right) {
  // The initialisation always writes its destination itself.
  init = std::make_unique<TagCalculate>(dest, nullptr, left, op, right);
}

void TagForWhile::SetStep(TagVar* dest, TagVar* /*dest_index*/, TagVar* left, uint8_t op,
                          TagVar* right) {
  step = std::make_unique<TagCalculate>(dest, nullptr, left, op, right);
}

// --- TagForIn ---------------------------------------------------------------

TagForIn::TagForIn(TagVar* var, TagVar* coll) : variable(var), collection(coll) {}

int32_t TagForIn::Start() {
  freshEntry = 0;
  position = 0;
  lastPosition = -1;
  textFlag = 0;
  keys.clear();
  text_.clear();
  if (collection != nullptr && collection->kind == kVarString) {
    textFlag = 1;
    text_.assign(collection->Bytes());
    lastPosition = static_cast<int32_t>(text_.size());
  } else if (collection != nullptr && collection->kind == kVarMap) {
    lastPosition = collection->GetKeys(keys);
  } else {
    return -1;
  }
  if (lastPosition <= 0) lastPosition = -1;
  return 0;
}

void TagForIn::GiveItem() {
  if (variable == nullptr) return;
  const size_t at = static_cast<size_t>(position);
  if (textFlag != 0) {
    variable->SetBytes(text_.data() + at, 1);
    return;
  }
  const TagVarP& key = keys[at];
  switch (key.kind) {
    case kStringKeys:
      variable->SetString(std::string_view(key.stringKey));
      break;
    case kFloatKeys:
      variable->SetFloat(key.floatKey);
      break;
    default:  // integer keys and map handles
      variable->SetInt(key.intKey);
      break;
  }
}

int32_t TagForIn::Execute() {
  NoteEntry();
  more_ = false;
  if (freshEntry != 0) {
    // Left at once by Next, which sets the flag again.
    if (Start() < 0) return -1;
  }
  // The position moves on every pass, so the last item is given once.
  if (position < lastPosition) {
    GiveItem();
    ++position;
    more_ = true;
  }
  return 0;
}

TagOper* TagForIn::Next() { return more_ ? bodyStart : Leave(); }

// --- TagSwitch --------------------------------------------------------------

TagSwitch::TagSwitch(TagVar* switch_value) : value(switch_value) {}

int32_t TagSwitch::Execute() {
  decided_ = defaultTarget != nullptr ? defaultTarget : next;
  if (value != nullptr) {
    for (int32_t i = 0; i < caseCount; ++i) {
      const TagVar* case_value = caseValues.at(i);
      if (case_value != nullptr && TagVar::Equals(*value, *case_value) != 0) {
        decided_ = caseTargets.at(i);
        break;
      }
    }
  }
  executed_ = true;
  return 0;
}

TagOper* TagSwitch::Next() { return executed_ ? decided_ : next; }

void TagSwitch::AddCase(TagVar* case_value, TagOper* target) {
  caseValues[caseCount] = case_value;
  caseTargets[caseCount] = target;
  ++caseCount;
}

int32_t TagSwitch::SetDefault(TagOper* target) {
  if (defaultTarget != nullptr) return -1;
  defaultTarget = target;
  return 0;
}

// --- ResolveJumps ----------------------------------------------------------

namespace {

// A statement whose whole work is its Next, which the links decide.
bool OnlyPassesOn(const TagOper& s) {
  switch (s.kindLetter) {
    case kKindBlockStart:
    case kKindBlockEnd:
    case kKindElse:
    case kKindCase:
    case kKindDefault:
    case kKindContinue:
      return s.argExpressions.empty() && s.resultTarget.empty();
    default:
      return false;
  }
}

// A statement whose result the run loops only store into "_retVal" as an
// integer.
bool HasPlainResult(const TagOper& s) {
  switch (s.kindLetter) {
    case kKindValue:
    case kKindCall:
    case kKindReturn:
      return false;
    default:
      return s.argExpressions.empty() && s.resultTarget.empty();
  }
}

// A statement whose Next depends on what its Execute decided.
bool DecidesNext(const TagOper& s) {
  switch (s.kindLetter) {
    case kKindIf:
    case kKindElseIf:
    case kKindLoop:
    case kKindSwitch:
    case kKindBreak:
      return true;
    default:
      return false;
  }
}

}  // namespace

void ResolveJumps(const pvector<TagOper>& statements) {
  for (TagOper* s : statements) {
    if (s == nullptr) continue;
    s->passesOn = OnlyPassesOn(*s) ? 1 : 0;
    s->nextFixed = DecidesNext(*s) ? 0 : 1;
    s->fixedNext = s->nextFixed != 0 ? s->Next() : nullptr;
    s->plainResult = HasPlainResult(*s) ? 1 : 0;
  }
  const int32_t limit = statements.count();
  for (TagOper* s : statements) {
    if (s == nullptr || s->passesOn == 0) continue;
    TagOper* landing = s->Next();
    for (int32_t hops = 0; landing != nullptr && landing->passesOn != 0 && hops < limit; ++hops) {
      landing = landing->Next();
    }
    if (landing != nullptr && landing->passesOn != 0) {
      s->passesOn = 0;  // on a ring of jumps: it runs as a statement
      continue;
    }
    s->jumpLanding = landing;
  }
}

// --- TagBreak ---------------------------------------------------------------

TagOper* TagBreak::Next() {
  if (partner == nullptr) return next;
  if (auto* loop = dynamic_cast<TagWhile*>(partner)) loop->Restart();
  return partner->next;
}

}  // namespace engine

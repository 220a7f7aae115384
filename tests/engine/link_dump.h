// The links of a compiled script as text, one statement a line: index, kind,
// depth, block opener, partner, next, and the targets of the control
// statements; with_source appends the statement's text. Tests compare it as
// golden data and print it when a run goes astray.
#ifndef VTTEL_TESTS_ENGINE_LINK_DUMP_H_
#define VTTEL_TESTS_ENGINE_LINK_DUMP_H_

#include <string>

#include "engine/control_flow.h"
#include "engine/tel_basic.h"

namespace engine {

inline std::string LinkRef(const char* tag, const TagOper* s) {
  return std::string(" ") + tag + (s != nullptr ? std::to_string(s->statementIndex) : "-");
}

inline std::string DumpLinks(const TagTelBasic& script, bool with_source = false) {
  std::string out;
  for (const TagOper* s : script.statements) {
    out += std::to_string(s->statementIndex) + " " + s->kindLetter + " d" +
           std::to_string(s->blockDepth) + LinkRef("o", s->blockOpener) +
           LinkRef("p", s->partner) + LinkRef("n", s->next);
    if (s->singleBody) out += " single";
    if (auto* i = dynamic_cast<const TagIf*>(s)) {
      out += LinkRef("then", i->thenTarget) + LinkRef("else", i->elseTarget);
    } else if (auto* w = dynamic_cast<const TagWhile*>(s)) {
      out += LinkRef("body", w->bodyStart);
    } else if (auto* sw = dynamic_cast<const TagSwitch*>(s)) {
      for (int32_t k = 0; k < sw->caseCount; ++k) {
        const TagOper* target = sw->caseTargets.at(k);
        out += " case" + sw->caseValues.at(k)->ToText() + ":" +
               std::to_string(target != nullptr ? target->statementIndex : -1);
      }
      out += LinkRef("default", sw->defaultTarget);
    }
    if (with_source) out += "  | " + s->sourceText;
    out += "\n";
  }
  return out;
}

}  // namespace engine

#endif  // VTTEL_TESTS_ENGINE_LINK_DUMP_H_

#include "telephony/statements/voice_edit_statements.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include "engine/arguments.h"
#include "engine/tel_basic.h"
#include "telephony/statements/line_statement.h"
#include "telephony/voice/voice_mix.h"
#include "telephony/voice/voice_path.h"
#include "telephony/voice/voice_trim.h"

namespace telephony {

using engine::ArgInt;
using engine::ArgText;
using engine::TagTelBasic;

namespace {

std::string Resolved(const TagTelBasic& script, const LineStatement& s, size_t i) {
  return ResolveVoicePath(script, ArgText(s.Argument(i)));
}

// A gain argument as a single-precision float: a double beyond float's
// range becomes the largest float of its sign.
float ArgGain(const engine::TagVar& v) {
  const double d = v.GetFloat();
  if (std::isnan(d)) return static_cast<float>(d);
  return static_cast<float>(std::clamp<double>(d, -FLT_MAX, FLT_MAX));
}

// "MixVocFile(" first, gain, offset ms, second, gain, output.
int32_t MixVocFile(TagTelBasic& script, const LineStatement& s) {
  return MixVocFiles(Resolved(script, s, 0), ArgGain(s.Argument(1)), ArgInt(s.Argument(2)),
                     Resolved(script, s, 3), ArgGain(s.Argument(4)), Resolved(script, s, 5));
}

}  // namespace

void RegisterVoiceEditStatements() {
  engine::StatementRegistry& r = engine::Statements();
  // "TrimVocFile(" voice file.
  r.Register("TrimVocFile(", &ScriptOperation<[](TagTelBasic& script, const LineStatement& s) {
    return TrimVocFile(Resolved(script, s, 0));
  }>::Build);
  r.Register("MixVocFile(", &ScriptOperation<MixVocFile>::Build);
}

}  // namespace telephony

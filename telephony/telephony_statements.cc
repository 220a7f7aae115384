#include "telephony/telephony_statements.h"

#include "telephony/call_statements.h"
#include "telephony/key_statements.h"
#include "telephony/number_statements.h"
#include "telephony/voice_statements.h"

namespace telephony {

void RegisterTelephonyStatements() {
  RegisterCallStatements();
  RegisterKeyStatements();
  RegisterVoiceStatements();
  RegisterNumberStatements();
}

}  // namespace telephony

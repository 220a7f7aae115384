#include "telephony/statements/telephony_statements.h"

#include "telephony/statements/call_statements.h"
#include "telephony/statements/key_statements.h"
#include "telephony/statements/number_statements.h"
#include "telephony/statements/speech_statements.h"
#include "telephony/statements/voice_edit_statements.h"
#include "telephony/statements/voice_statements.h"

namespace telephony {

void RegisterTelephonyStatements() {
  RegisterCallStatements();
  RegisterKeyStatements();
  RegisterVoiceStatements();
  RegisterNumberStatements();
  RegisterVoiceEditStatements();
  RegisterSpeechStatements();
}

}  // namespace telephony

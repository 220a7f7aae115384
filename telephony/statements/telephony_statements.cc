#include "telephony/statements/telephony_statements.h"

#include "telephony/statements/call_statements.h"
#include "telephony/statements/fax_statements.h"
#include "telephony/statements/key_statements.h"
#include "telephony/statements/link_statements.h"
#include "telephony/statements/number_statements.h"
#include "telephony/statements/signal_statements.h"
#include "telephony/statements/sip_statements.h"
#include "telephony/statements/sys_info_statements.h"
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
  RegisterSignalStatements();
  RegisterSipStatements();
  RegisterSysInfoStatements();
  RegisterLinkStatements();
  RegisterSpeechStatements();
  RegisterFaxStatements();
}

}  // namespace telephony

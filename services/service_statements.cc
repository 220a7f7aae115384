#include "services/service_statements.h"

#include "services/db/db_statements.h"
#include "services/extcall/dll_statements.h"
#include "services/files/file_statements.h"
#include "services/files/run_msp.h"
#include "services/files/text_file_set.h"
#include "services/files/txt_append.h"
#include "services/interline/acd_statements.h"
#include "services/interline/inter_line_call.h"
#include "services/interline/message_statements.h"
#include "services/interline/share_mem_statements.h"
#include "services/net/http_statements.h"
#include "services/net/tcp_statements.h"
#include "services/net/udp_statements.h"
#include "services/system_statements.h"
#include "services/text/encoding_statements.h"
#include "services/text/regex_statements.h"
#include "services/text/string_statements.h"
#include "services/text/time_statements.h"

namespace services {

void RegisterServiceStatements() {
  RegisterStringStatements();
  RegisterEncodingStatements();
  RegisterTimeStatements();
  RegisterTcpStatements();
  RegisterUdpStatements();
  RegisterHttpStatements();
  RegisterDbStatements();
  RegisterRegexStatements();
  RegisterTextFileStatements();
  RegisterTextAppendStatements();
  RegisterFileStatements();
  RegisterMessageStatements();
  RegisterInterLineStatements();
  RegisterDllStatements();
  RegisterShareMemStatements();
  RegisterAcdStatements();
  RegisterSystemStatements();
  RegisterMspStatement();
}

}  // namespace services

#include "services/service_statements.h"

#include "services/acd_statements.h"
#include "services/db_statements.h"
#include "services/dll_statements.h"
#include "services/encoding_statements.h"
#include "services/file_statements.h"
#include "services/http_statements.h"
#include "services/inter_line_call.h"
#include "services/message_statements.h"
#include "services/regex_statements.h"
#include "services/share_mem_statements.h"
#include "services/string_statements.h"
#include "services/system_statements.h"
#include "services/run_msp.h"
#include "services/tcp_statements.h"
#include "services/text_file_set.h"
#include "services/time_statements.h"
#include "services/txt_append.h"
#include "services/udp_statements.h"

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

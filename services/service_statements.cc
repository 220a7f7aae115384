#include "services/service_statements.h"

#include "services/encoding_statements.h"
#include "services/message_statements.h"
#include "services/string_statements.h"
#include "services/tcp_statements.h"
#include "services/time_statements.h"

namespace services {

void RegisterServiceStatements() {
  RegisterStringStatements();
  RegisterEncodingStatements();
  RegisterTimeStatements();
  RegisterTcpStatements();
  RegisterMessageStatements();
}

}  // namespace services

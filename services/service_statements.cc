#include "services/service_statements.h"

#include "services/db_statements.h"
#include "services/dll_statements.h"
#include "services/encoding_statements.h"
#include "services/string_statements.h"
#include "services/tcp_statements.h"
#include "services/time_statements.h"

namespace services {

void RegisterServiceStatements() {
  RegisterStringStatements();
  RegisterEncodingStatements();
  RegisterTimeStatements();
  RegisterTcpStatements();
  RegisterDbStatements();
  RegisterDllStatements();
}

}  // namespace services

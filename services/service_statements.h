// Registration of the script services' statements with the engine's
// statement registry. Each family file registers its own keywords; the
// programs call RegisterServiceStatements once at start, before any line
// compiles (the registry then needs no lock).
#ifndef VTTEL_SERVICES_SERVICE_STATEMENTS_H_
#define VTTEL_SERVICES_SERVICE_STATEMENTS_H_

namespace services {

// Registers every statement family of the services layer. Calling it again
// changes nothing (a keyword keeps its first factory).
void RegisterServiceStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_SERVICE_STATEMENTS_H_

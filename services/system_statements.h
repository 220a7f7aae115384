// The system statements of the script services: "DispInfo(" and
// "SetDispColor(" (the line monitor's user cells and colours), "Exec("
// (another program, through platform/process.h) and "GetMemInfo(" (the
// process's memory counters, platform/memory_counters.h, in KiB, as
// memory_report.h hands them over).
//
// "Exec(" (command line, wait in seconds, flag and exit-code variable)
// blocks its line's thread for up to the wait: 0 the program ended (the
// variable gets its exit code, 128 + the signal for one ended by a
// signal); 1 the wait ran out with the variable not 0: the program is
// killed; 2 no wait (0 or less), or the wait ran out with the variable 0,
// or the line was stopped during the wait: the program runs on and is
// reaped when it ends; -1 not started.
//
// Thread rules: statements run on their line's thread.
#ifndef VTTEL_SERVICES_SYSTEM_STATEMENTS_H_
#define VTTEL_SERVICES_SYSTEM_STATEMENTS_H_

namespace services {

void RegisterSystemStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_SYSTEM_STATEMENTS_H_

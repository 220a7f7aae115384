// The time statements: "Datetime(", "GetTick(", "AfterDaysDate(", "Time(",
// "GetDateStr(", "MakeTime(" and "Sleep(". Everything reads the time through
// platform::GetClock() (tests install a FakeClock); the date routines are
// in calendar.h, the wait of "Sleep(" in line_sleep.h.
//
// Thread rules: statements run on their line's thread.
#ifndef VTTEL_SERVICES_TEXT_TIME_STATEMENTS_H_
#define VTTEL_SERVICES_TEXT_TIME_STATEMENTS_H_

namespace services {

// Registers the seven time statements.
void RegisterTimeStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_TEXT_TIME_STATEMENTS_H_

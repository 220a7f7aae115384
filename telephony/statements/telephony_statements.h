// Registration of the telephony layer's statements (call control, keys,
// voice, number reading, voice editing, fax) with the engine's statement registry. The programs
// call it once at start, before any line compiles; calling it again changes
// nothing (a keyword keeps its first factory).
#ifndef VTTEL_TELEPHONY_STATEMENTS_TELEPHONY_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_TELEPHONY_STATEMENTS_H_

namespace telephony {

void RegisterTelephonyStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_TELEPHONY_STATEMENTS_H_

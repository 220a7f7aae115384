// "GetSysInfo(" and "GetSysInfoVal(": the system-information keys of the
// script's line and of the whole system, read from the line's call object,
// the line drive (engine::LineDriveFacts), the board, the version text and
// the line's database store. Keys are matched without regard to letter
// case.
//
// Without a drive (a stand-alone run) the connected counts, "IsBlock",
// "TalkTime" and "ConnectedTime1" are 0; so are "TalkTime" and
// "ConnectedTime1" while the line is not connected, the call-object keys
// without a call object, and "AcmBci1", "AcmBci2" and "CauseId", which
// nothing sets.
//
// Thread rules: run on the line's thread; they read the drive's records
// and other lines' call states without locks, as the monitor does.
#ifndef VTTEL_TELEPHONY_STATEMENTS_SYS_INFO_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_SYS_INFO_STATEMENTS_H_

#include <cstddef>

namespace telephony {

// The number of system-information keys.
inline constexpr size_t kSysInfoKeys = 16;

void RegisterSysInfoStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_SYS_INFO_STATEMENTS_H_

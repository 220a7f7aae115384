// The ACD statements: "AcdListSend(", "AcdListNum(", "AcdListRead(",
// "AcdListRecv(", "AcdListClear(" and "AcdListWrite(" on the process-wide
// ACD list (acd_list.h). They work on the current message of their
// script's run context and use its line number; they never touch the
// lines' message queues and never wait beyond the list's locks.
#ifndef VTTEL_SERVICES_INTERLINE_ACD_STATEMENTS_H_
#define VTTEL_SERVICES_INTERLINE_ACD_STATEMENTS_H_

namespace services {

void RegisterAcdStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_ACD_STATEMENTS_H_

// The message statements of the script language: sending to any line's
// queues and to the process-wide ones, receiving, reading, rewriting,
// counting and clearing messages, sorting queues and editing the current
// message ("SendMsg(", "RecvMsg(", "RecvMsgForType(", "RecvMsgForField(",
// "RecvMsgFor2Field(", "ClearMsg(", "ClearMsgFrom(", "ClearMsgForType(",
// "ClearMsgForField(", "GetMsgNum(", "GetMsgNumForType(",
// "GetMsgNumForField(", "CountMsg(", "ReadMsg(", "ReadMsgFor(",
// "WriteMsg(", "SetMsgOrderBy(", "SetMsgField(", "GetMsgField(",
// "GetMsgFieldVal("); the inter-line calls beside them are in
// inter_line_call.h.
//
// A statement acts on the run context of its script: its current message
// is the working record, its line number the sender. A queue is named by
// (line, queue), checked in this order: the queue outside 0..63 gives -1;
// a line at or above the line count -2; a negative line names the
// process-wide queue; a line without a compiled script gives -3
// (FindMsgQueue, line_messages.h).
// Out-arguments are written only on success. The statements run on their
// line's thread and never wait.
#ifndef VTTEL_SERVICES_INTERLINE_MESSAGE_STATEMENTS_H_
#define VTTEL_SERVICES_INTERLINE_MESSAGE_STATEMENTS_H_

namespace services {

// Registers the statements and the store factory of slot kMessages.
void RegisterMessageStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_MESSAGE_STATEMENTS_H_

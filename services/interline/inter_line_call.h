// Inter-line calls: a script calls a function of the script on another
// line through messages.
//
// "InterLineCall(" (server queue, seconds, copy-back flag, out result)
// stands as the body of a calling function. It sends the function's name,
// the flag and its parameter values (at most kInterLineParams) to the
// process-wide server queue, clears the line's reply queue first, and
// polls the reply queue every kInterLinePollMs. Results: -1 outside a
// function; -2 a queue outside 0..63; 0 for 0 seconds (sent, no wait);
// -3 the server had no such function or another parameter count; -4 no
// reply in time, or the line was told to stop or reload while waiting: its
// requests still waiting in the server queue are withdrawn. Otherwise the
// server queue's size after the request was appended; out result is the
// server function's result and, with a non-zero flag, the parameters take
// the values the server's function left in its arguments.
//
// "InterLineServer(" (server queue) takes one request (never waits), runs
// the run context's function of that name on its own thread and sends the
// reply into the caller's reply queue: 1 handled; 0 no request; -1 a queue
// outside 0..63; -2 the caller's line is out of range and -3 it has no
// script (the request is consumed, no reply). Its build switches off the
// pruning of uncalled functions in the run context: they may be called by
// name only.
#ifndef VTTEL_SERVICES_INTERLINE_INTER_LINE_CALL_H_
#define VTTEL_SERVICES_INTERLINE_INTER_LINE_CALL_H_

namespace services {

// Registers "InterLineCall(" and "InterLineServer(".
void RegisterInterLineStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_INTERLINE_INTER_LINE_CALL_H_

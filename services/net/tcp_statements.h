// The TCP statements of the script language: "TcpOpen(", "TcpServer(",
// "TcpAccept(", "TcpClose(", "TcpCloseAll(", "TcpWrite(", "TcpRead(" and
// "TcpTest(". Scripts name sockets by handles of the process-wide socket
// table (socket_handles.h): a line reaches every TCP socket that any line
// opened (a socket it opens joins its socket set, socket_set.h); a handle
// that names no open TCP socket gives -1 and touches no socket. The
// statements run on their line's thread; "TcpRead(" on an accepted socket
// waits for data, the peer's close or the line's stop.
#ifndef VTTEL_SERVICES_NET_TCP_STATEMENTS_H_
#define VTTEL_SERVICES_NET_TCP_STATEMENTS_H_

namespace services {

// Registers the eight statements and the socket-set store factory.
void RegisterTcpStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_TCP_STATEMENTS_H_

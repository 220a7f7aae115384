// The UDP statements of the script language: "UdpOpen(", "UdpClose(",
// "UdpSend(", "UdpRecv(" and "UdpTest(". A socket from "UdpOpen(" joins
// its line's socket set (socket_set.h) as a UDP socket: scripts on any
// line name it by its handle, only the UDP statements reach it (a handle
// that names no open UDP socket gives -1 and touches no socket), it closes
// with the main script of the line that opened it, and the stop of the
// waiting line ends a "UdpRecv(" waiting on it.
#ifndef VTTEL_SERVICES_NET_UDP_STATEMENTS_H_
#define VTTEL_SERVICES_NET_UDP_STATEMENTS_H_

namespace services {

// Registers the five statements (the socket set is the TCP statements').
void RegisterUdpStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_UDP_STATEMENTS_H_

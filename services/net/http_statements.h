// The HTTP statements of the script language: "Http(" (one client
// exchange), "HttpServerOpen(", "HttpServerRecv(", "HttpServerSend(" and
// "HttpServerClose(". Scripts name sockets by handles of their line's
// socket set (socket_set.h); a listener's handle serves every line.
// Every statement runs on its line's thread and every wait ends with the
// line's stop.
#ifndef VTTEL_SERVICES_NET_HTTP_STATEMENTS_H_
#define VTTEL_SERVICES_NET_HTTP_STATEMENTS_H_

namespace services {

void RegisterHttpStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_STATEMENTS_H_

// The HTTP/1.1 server side of the scripts: a listener per port (in the
// process-wide map, http_listeners.h), one request at a time taken from it
// or from a connection kept open, and the answer with the script's head or
// a default one.
//
// Runs on the calling line's thread. A listener and the connections a
// line serves are in that line's socket set (kinds kHttpListener and
// kHttpConnection), the connections whose request has not come whole in
// its pending requests (http_pending.h), so they close with its main
// script and its stop ends every wait; a listener serves every line
// through the map, and any line may answer, read from or close a
// connection or listener by its handle.
#ifndef VTTEL_SERVICES_NET_HTTP_SERVER_H_
#define VTTEL_SERVICES_NET_HTTP_SERVER_H_

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace services {

class SocketSet;

// Listens on port (backlog 10, a message box on failure) with the socket
// in set: its handle, or -1.
int32_t HttpServerListen(SocketSet* set, int port);

// A request as the server hands it to the script.
struct HttpRequest {
  std::string head;
  std::string body;
  std::string address;  // the client's, when a listener accepted it
};

// Takes one request for the statement of script from handle: a listener
// of the map or a connection that any line took in. From a listener,
// the connections waiting on it join the line's pending requests
// (http_pending.h) and the first whose head comes whole is served, so
// connections that send nothing cannot hold up one that has sent its
// request; the call waits while the line holds connections of the
// listener. A request must come whole (head and body) within
// HttpReadLimits::request_ms of its accept (of the call, for a connection
// kept open). The connection's handle (it stays open for the answer); -1
// when the handle is neither, nothing waits, accept failed, or no request
// came whole in time or it is malformed (the connection is then closed);
// -2 when the poll failed.
int32_t HttpServerRecvRequest(engine::TagTelBasic* script, int32_t handle, HttpRequest* request);

// Reads one request from a connection the caller owns, head and body
// within HttpReadLimits::request_ms: false when none came whole in time or
// it is malformed (logged).
bool ReadHttpRequest(int socket, HttpRequest* request);

// The response head sent before body: head as given when it has its blank
// line; else head with a Content-Length line (unless it has one) and the
// blank line; with no head the default 200 head stamped now.
std::string ResponseHead(std::string_view head, size_t body_length, std::time_t now);

// Answers on the connection handle (of any line) for the statement whose
// line holds set: the bytes sent of the body (of the head when there is no
// body), 0 when head and body are empty (the connection is closed then),
// -1 when the handle is no open connection or the sending failed (closed).
// A head saying "close" closes the connection after the answer.
int32_t HttpServerSendResponse(SocketSet* set, int32_t handle, std::string_view head,
                               std::string_view body);

// Closes a listener or a connection that any line opened: true when there
// was one. Closing a listener also closes the connections the line of
// script took in from it whose request had not come whole (another line
// gives up its own at its next "HttpServerRecv(" on the listener).
bool HttpServerClose(engine::TagTelBasic* script, int32_t handle);

}  // namespace services

#endif  // VTTEL_SERVICES_NET_HTTP_SERVER_H_

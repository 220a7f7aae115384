#include "services/net/http_statements.h"

#include <string>
#include <string_view>

#include "engine/arguments.h"
#include "engine/script_store.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "services/net/http_client.h"
#include "services/net/http_pending.h"
#include "services/net/http_server.h"
#include "services/net/socket_set.h"

namespace services {

using engine::ArgInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

// A body argument: a string's bytes, else no body.
std::string_view BodyOf(const TagVar& v) {
  return v.kind == engine::kVarString ? v.Bytes() : std::string_view();
}

void SetText(TagVar* v, const std::string& text) { v->SetBytes(text.data(), text.size()); }

// A body variable: the body after a result above 0, else "".
void SetBody(TagVar* v, int32_t result, const std::string& body) {
  if (result > 0) {
    SetText(v, body);
  } else {
    v->SetString("");
  }
}

class HttpStatement : public engine::ArgsStatement {
 public:
  explicit HttpStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  SocketSet* Set() const { return SocketSetOf(script_); }
  TagTelBasic* const script_ = Compiling();
};

// "Http(" (method, URL, request body, content type, response-body
// variable, response-head variable).
class TagHttp : public HttpStatement {
 public:
  using HttpStatement::HttpStatement;
  int32_t Execute() override {
    HttpResponse response;
    const int32_t result = HtmlRecv(script_, ArgText(*url_), ArgText(*method_), BodyOf(*body_),
                                    ArgText(*type_), &response);
    SetBody(response_body_, result, response.body);
    SetText(response_head_, response.head);
    return result;
  }

 private:
  TagVar *method_ = &Argument(0), *url_ = &Argument(1), *body_ = &Argument(2),
         *type_ = &Argument(3), *response_body_ = &Argument(4), *response_head_ = &Argument(5);
};

// "HttpServerOpen(" (port).
class TagHttpServerOpen : public HttpStatement {
 public:
  using HttpStatement::HttpStatement;
  int32_t Execute() override { return HttpServerListen(Set(), ArgInt(*port_)); }

 private:
  TagVar* port_ = &Argument(0);
};

// "HttpServerRecv(" (listener or connection, head variable, body
// variable, address variable).
class TagHttpServerRecv : public HttpStatement {
 public:
  using HttpStatement::HttpStatement;
  int32_t Execute() override {
    HttpRequest request;
    const int32_t result = HttpServerRecvRequest(script_, ArgInt(*socket_), &request);
    SetText(head_, request.head);
    SetBody(body_, result, request.body);
    SetText(address_, request.address);
    return result;
  }

 private:
  TagVar *socket_ = &Argument(0), *head_ = &Argument(1), *body_ = &Argument(2),
         *address_ = &Argument(3);
};

// "HttpServerSend(" (connection, head text, body).
class TagHttpServerSend : public HttpStatement {
 public:
  using HttpStatement::HttpStatement;
  int32_t Execute() override {
    return HttpServerSendResponse(Set(), ArgInt(*socket_), ArgText(*head_), BodyOf(*body_));
  }

 private:
  TagVar *socket_ = &Argument(0), *head_ = &Argument(1), *body_ = &Argument(2);
};

// "HttpServerClose(" (listener or connection): 0, also for a socket
// another line opened; -1 for a handle that names no open one.
class TagHttpServerClose : public HttpStatement {
 public:
  using HttpStatement::HttpStatement;
  int32_t Execute() override { return HttpServerClose(script_, ArgInt(*socket_)) ? 0 : -1; }

 private:
  TagVar* socket_ = &Argument(0);
};

}  // namespace

void RegisterHttpStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kHttpRequests, &NewHttpPendingRequests);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("Http(", &BuildStatement<TagHttp>);
  r.Register("HttpServerOpen(", &BuildStatement<TagHttpServerOpen>);
  r.Register("HttpServerRecv(", &BuildStatement<TagHttpServerRecv>);
  r.Register("HttpServerSend(", &BuildStatement<TagHttpServerSend>);
  r.Register("HttpServerClose(", &BuildStatement<TagHttpServerClose>);
}

}  // namespace services

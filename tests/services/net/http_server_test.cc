// The HTTP server statements on a line's socket set: the response heads as
// a table, "HttpServerRecv(" with nothing waiting, curl's GET and POST,
// http.client keeping a connection open and parsing the default head's
// date, a request reset before the accept, malformed requests, a listener
// served from another line and forgotten when closed, a reloaded script
// opening its port again, 1,000 ab requests leaving no descriptor, clients
// that send nothing, trickle or cut their body short given up at the
// request's deadline, and idle connections not holding up a client and
// closed with their listener.
#include "services/net/http_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "platform/message_service.h"
#include "services/net/http_limits.h"
#include "services/net/http_listeners.h"
#include "services/net/http_pending.h"
#include "services/net/socket_handles.h"
#include "services/net/socket_set.h"
#include "tests/frame/tcp_peer.h"
#include "tests/services/net/http_peer.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;
using services::SocketKind;
using testing_support::OpenDescriptorCount;
using testing_support::TcpPeer;

using Steady = std::chrono::steady_clock;

TEST(HttpResponseHeadTest, Table) {
  struct Case {
    const char* head;
    size_t body;
    const char* sent;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\n\r\n", 3, "HTTP/1.1 404 Not Found\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\nX: y", 2, "HTTP/1.1 200 OK\r\nX: y\r\nContent-Length: 2\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\nX: y\r\n", 0, "HTTP/1.1 200 OK\r\nX: y\r\nContent-Length: 0\r\n\r\n"},
      {"HTTP/1.1 200 OK\r\ncontent-length: 9\r\n", 2,
       "HTTP/1.1 200 OK\r\ncontent-length: 9\r\n\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(services::ResponseHead(c.head, c.body, 0), c.sent) << c.head;
  }
  EXPECT_EQ(services::ResponseHead("", 5, 1781163983),
            "HTTP/1.1 200 OK\r\nServer: VantorelMablen/1.7\r\nAccept-Ranges: "
            "bytes\r\n"
            "Connection: close\r\nContent-Type: */*\r\n"
            "Last-Modified: Thu, 11 Jun 2026 07:46:23 GMT\r\nContent-Length: "
            "5\r\n\r\n");
}

class HttpServerTest : public services_test::TcpScriptTest {
 protected:
  // "HttpServerOpen(" of a free port: the handle; *port the port.
  int32_t Open(int* port, engine::TagTelBasic* script = nullptr) {
    script = script != nullptr ? script : script_.get();
    const int32_t h = Exec(script, "HttpServerOpen(", {Val(0)});
    EXPECT_GE(h, services::kFirstSocketHandle);
    const int s = services::SocketSetOf(script)->Find(h, SocketKind::kHttpListener);
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return h;
  }
  // Polls "HttpServerRecv(" until a request comes (5 s): the result.
  int32_t Recv(int32_t handle, std::string* head, std::string* body,
               engine::TagTelBasic* script = nullptr) {
    TagVar *h = Val(0), *b = Val(0), *a = Val(0);
    int32_t r = -1;
    for (int i = 0; i < 1000 && r == -1; ++i) {
      r = Exec(script != nullptr ? script : script_.get(), "HttpServerRecv(",
               {Val(handle), h, b, a});
      if (r == -1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    *head = std::string(h->Bytes());
    *body = std::string(b->Bytes());
    address_ = std::string(a->Bytes());
    return r;
  }
  int32_t Send(int32_t connection, const std::string& head, const std::string& body,
               engine::TagTelBasic* script = nullptr) {
    return Exec(script != nullptr ? script : script_.get(), "HttpServerSend(",
                {Val(connection), Val(head), body.empty() ? Val(0) : Val(body)});
  }
  size_t SetSize() { return services::SocketSetOf(script_.get())->size(); }

  std::string address_;
};

TEST_F(HttpServerTest, NothingWaitingGivesMinusOneAtOnce) {
  int port = 0;
  const int32_t h = Open(&port);
  const auto start = Steady::now();
  EXPECT_EQ(Exec("HttpServerRecv(", {Val(h), Val(0), Val(0), Val(0)}), -1);
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(100));
  // A handle that is no listener or connection of the line.
  EXPECT_EQ(Exec("HttpServerRecv(", {Val(12345), Val(0), Val(0), Val(0)}), -1);
  EXPECT_EQ(Exec("HttpServerSend(", {Val(h), Val(""), Val("x")}), -1);
  EXPECT_EQ(Exec("HttpServerClose(", {Val(12345)}), -1);
}

TEST_F(HttpServerTest, CurlGetAndPost) {
  int port = 0;
  const int32_t listener = Open(&port);
  testing_support::TempDir files;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/form?x=1";
  {
    testing_support::SpawnedProgram curl;
    ASSERT_TRUE(curl.Start("/usr/bin/curl", {"-s", "-D", files.File("h"), url}));
    std::string head, body;
    const int32_t c = Recv(listener, &head, &body);
    ASSERT_GE(c, services::kFirstSocketHandle);
    EXPECT_EQ(head.rfind("GET /form?x=1 HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(body, "");
    EXPECT_EQ(address_, "127.0.0.1");
    EXPECT_EQ(Send(c, "", "hello"), 5);
    EXPECT_EQ(curl.Wait(10000), 0);
    EXPECT_EQ(curl.stdout_text(), "hello");
    EXPECT_NE(
        testing_support::ReadFile(files.File("h")).value_or("").find("Server: VantorelMablen/1.7"),
        std::string::npos);
  }
  std::string posted(3000, '\0');
  for (size_t i = 0; i < posted.size(); ++i) posted[i] = static_cast<char>(i * 31);
  testing_support::WriteFile(files.File("post"), posted);
  testing_support::SpawnedProgram curl;
  ASSERT_TRUE(curl.Start("/usr/bin/curl",
                         {"-s", "-H", "Expect:", "--data-binary", "@" + files.File("post"), url}));
  std::string head, body;
  const int32_t c = Recv(listener, &head, &body);
  ASSERT_GE(c, services::kFirstSocketHandle);
  EXPECT_EQ(head.rfind("POST /form?x=1 HTTP/1.1\r\n", 0), 0u);
  EXPECT_TRUE(body == posted) << body.size();
  EXPECT_EQ(Send(c, "HTTP/1.1 201 Created\r\nConnection: close", "made"), 4);
  EXPECT_EQ(curl.Wait(10000), 0);
  EXPECT_EQ(curl.stdout_text(), "made");
  EXPECT_EQ(SetSize(), 1u);  // the listener
}

TEST_F(HttpServerTest, HttpClientKeepsTheConnectionAndParsesTheDefaultHead) {
  int port = 0;
  const int32_t listener = Open(&port);
  auto client = std::async(std::launch::async, [port] {
    return services_test::RunPython(
        "import datetime, email.utils, http.client, sys\n"
        "c = http.client.HTTPConnection('127.0.0.1', int(sys.argv[1]))\n"
        "c.request('GET', '/one')\n"
        "r = c.getresponse()\n"
        "print(r.read().decode())\n"
        "c.request('POST', '/two', body=b'xyz')\n"
        "r = c.getresponse()\n"
        "print(r.read().decode())\n"
        "d = email.utils.parsedate_to_datetime(r.getheader('Last-Modified'))\n"
        "now = datetime.datetime.now(datetime.timezone.utc)\n"
        "print('fresh' if abs((now - d).total_seconds()) < 60 else 'stale %s' "
        "% d)\n",
        {std::to_string(port)});
  });
  std::string head, body;
  const int32_t c = Recv(listener, &head, &body);
  ASSERT_GE(c, services::kFirstSocketHandle);
  EXPECT_EQ(head.rfind("GET /one ", 0), 0u);
  // Without "close" in the head the connection stays for the next request.
  EXPECT_EQ(Send(c, "HTTP/1.1 200 OK\r\n", "first"), 5);
  EXPECT_EQ(Recv(c, &head, &body), c);
  EXPECT_EQ(head.rfind("POST /two ", 0), 0u);
  EXPECT_EQ(body, "xyz");
  EXPECT_EQ(address_, "");
  EXPECT_EQ(Send(c, "", "second"), 6);
  EXPECT_EQ(client.get(), "first\nsecond\nfresh\n");
  EXPECT_EQ(SetSize(), 1u);
}

TEST_F(HttpServerTest, EmptyAnswerClosesAndMalformedRequestsAreRefused) {
  int port = 0;
  const int32_t listener = Open(&port);
  {
    TcpPeer peer;
    ASSERT_TRUE(
        peer.Connect(port, {"send:" + services_test::Hex("GET / HTTP/1.1\r\n\r\n"), "recv_all"}));
    std::string head, body;
    const int32_t c = Recv(listener, &head, &body);
    ASSERT_GE(c, 0);
    EXPECT_EQ(Send(c, "", ""), 0);
    EXPECT_TRUE(peer.Says("got "));  // nothing, and the close
  }
  const std::string cases[] = {
      "GET / HTTP/1.1\r\nX: " + std::string(3000, 'a'),
      "POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n",
      "POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\nabcdef",
  };
  for (const std::string& request : cases) {
    TcpPeer peer;
    ASSERT_TRUE(peer.Connect(port, {"send:" + services_test::Hex(request), "recv_all"}));
    std::string head, body;
    int32_t r = -1;
    for (int i = 0; i < 100 && r == -1 && !peer.Says("got ", 20); ++i) {
      r = Exec("HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)});
    }
    EXPECT_EQ(r, -1) << request.substr(0, 40);
    EXPECT_EQ(SetSize(), 1u);
  }
}

TEST_F(HttpServerTest, ResetBeforeTheAcceptBlocksNothing) {
  int port = 0;
  const int32_t listener = Open(&port);
  services_test::RunPython(
      "import socket, struct, sys\n"
      "c = socket.create_connection(('127.0.0.1', int(sys.argv[1])))\n"
      "c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, "
      "0))\n"
      "c.close()\n",
      {std::to_string(port)});
  auto recv = std::async(std::launch::async, [&] {
    return Exec("HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)});
  });
  ASSERT_EQ(recv.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_EQ(recv.get(), -1);
  EXPECT_EQ(Exec("HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)}), -1);
  EXPECT_EQ(SetSize(), 1u);
}

TEST_F(HttpServerTest, ListenerServesOtherLinesAndIsForgottenWhenClosed) {
  const size_t listeners = services::HttpListenerCount();
  int port = 0;
  const int32_t listener = Open(&port);
  EXPECT_EQ(services::HttpListenerCount(), listeners + 1);
  engine::LineCallBase call2;
  call2.lineNo = 2;
  auto line2 = NewScript("empty.vts", call2);
  testing_support::SpawnedProgram curl;
  ASSERT_TRUE(
      curl.Start("/usr/bin/curl", {"-s", "http://127.0.0.1:" + std::to_string(port) + "/"}));
  std::string head, body;
  const int32_t c = Recv(listener, &head, &body, line2.get());
  ASSERT_GE(c, 0);
  // The connection is line 2's.
  EXPECT_EQ(services::SocketSetOf(line2.get())->Find(c, SocketKind::kHttpConnection) >= 0, true);
  // Line 1 answers on it (the default head closes it).
  EXPECT_EQ(Send(c, "", "two"), 3);
  EXPECT_EQ(curl.Wait(10000), 0);
  EXPECT_EQ(curl.stdout_text(), "two");
  EXPECT_EQ(services::SocketSetOf(line2.get())->size(), 0u);
  // Any line closes the listener; the map forgets it.
  EXPECT_EQ(Exec(line2.get(), "HttpServerClose(", {Val(listener)}), 0);
  EXPECT_EQ(SetSize(), 0u);
  EXPECT_EQ(Exec("HttpServerClose(", {Val(listener)}), -1);
  EXPECT_EQ(services::HttpListenerCount(), listeners);
  EXPECT_EQ(Exec(line2.get(), "HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)}), -1);
}

TEST_F(HttpServerTest, ReloadedScriptOpensItsPortAgain) {
  int port = 0;
  Open(&port);
  {
    // A second listener on the port fails with its message.
    platform::RecordingMessageService messages;
    platform::ScopedMessageService scoped(&messages);
    EXPECT_EQ(Exec("HttpServerOpen(", {Val(port)}), -1);
    EXPECT_EQ(messages.messages().size(), 1u);
  }
  const size_t listeners = services::HttpListenerCount();
  script_.reset();  // the script's end closes its listener
  EXPECT_EQ(services::HttpListenerCount(), listeners - 1);
  script_ = NewScript("empty.vts", call_);
  EXPECT_GE(Exec("HttpServerOpen(", {Val(port)}), services::kFirstSocketHandle);
}

TEST_F(HttpServerTest, AbRequestsLeaveNoDescriptor) {
  const int before = OpenDescriptorCount();
  int port = 0;
  const int32_t listener = Open(&port);
  int served = 0;
  {
    testing_support::SpawnedProgram ab;
    ASSERT_TRUE(ab.Start("/usr/bin/ab", {"-q", "-n", "1000", "-c", "4",
                                         "http://127.0.0.1:" + std::to_string(port) + "/"}));
    const auto deadline = Steady::now() + std::chrono::seconds(60);
    while (served < 1000 && Steady::now() < deadline) {
      const int32_t c = Exec("HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)});
      if (c >= 0) {
        EXPECT_EQ(Send(c, "", "0123456789"), 10);
        ++served;
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    EXPECT_EQ(ab.Wait(20000), 0) << ab.stderr_text();
    EXPECT_NE(ab.stdout_text().find("Complete requests:      1000"), std::string::npos);
    EXPECT_NE(ab.stdout_text().find("Failed requests:        0"), std::string::npos);
  }
  EXPECT_EQ(served, 1000);
  EXPECT_EQ(SetSize(), 1u);
  EXPECT_EQ(Exec("HttpServerClose(", {Val(listener)}), 0);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace

namespace {

using services_test::Joined;
using services_test::PeerActions;
using services_test::Trickled;

// The deadline of the slow-client tests: the whole request 800 ms.
constexpr services::HttpReadLimits kShortRequest{
    .response_ms = 8000, .chunk_read_ms = 4000, .chunk_reads = 200, .request_ms = 800};

TEST_F(HttpServerTest, SlowClientsAreGivenUpAtTheDeadline) {
  services::ScopedHttpReadLimits limits(&kShortRequest);
  int port = 0;
  const int32_t listener = Open(&port);
  const std::string post = "POST / HTTP/1.1\r\nContent-Length: 1000\r\n\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
    bool peer_closes;
  } cases[] = {
      {"silent", {}, false},
      {"head trickled",
       Trickled("GET / HTTP/1.1\r\nHost: h\r\nX-Pad: " + std::string(20, 'a') + "\r\n\r\n", 40),
       false},
      {"body trickled", Joined({post}, Trickled(std::string(40, 'b'), 40)), false},
      {"body cut short by the close", {post + std::string(45, 'b')}, true},
  };
  for (const Case& c : cases) {
    TcpPeer peer;
    std::vector<std::string> actions = PeerActions(c.pieces);
    actions.push_back(c.peer_closes ? "close" : "recv_all");
    ASSERT_TRUE(peer.Connect(port, actions)) << c.name;
    TagVar* body = Val("mark");
    const auto start = Steady::now();
    EXPECT_EQ(Exec("HttpServerRecv(", {Val(listener), Val(0), body, Val(0)}), -1) << c.name;
    EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(1500)) << c.name;
    EXPECT_EQ(body->Bytes(), "") << c.name;
    // The connection was closed.
    EXPECT_EQ(SetSize(), 1u) << c.name;
    EXPECT_EQ(services::HttpPendingOf(script_.get())->size(), 0u) << c.name;
  }
}

TEST_F(HttpServerTest, AKeptConnectionTricklingItsNextHeadIsGivenUp) {
  services::ScopedHttpReadLimits limits(&kShortRequest);
  int port = 0;
  const int32_t listener = Open(&port);
  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  // The first request, its answer, then the next head a byte at a time.
  const std::vector<std::string> actions =
      Joined(Joined(PeerActions({"GET /1 HTTP/1.1\r\n\r\n"}),
                    {"recv:" + std::to_string(answer.size())}),
             Joined(PeerActions(Trickled("GET /2 HTTP/1.1\r\nX-Pad: " + std::string(30, 'a'), 40)),
                    {"recv_all"}));
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(port, actions));
  std::string head, body;
  const int32_t c = Recv(listener, &head, &body);
  ASSERT_GE(c, services::kFirstSocketHandle);
  EXPECT_EQ(Send(c, "HTTP/1.1 200 OK\r\nContent-Length: 2", "ok"), 2);
  // The next head's first byte makes the connection readable; from then
  // on the call waits for the whole head until the deadline.
  int32_t r = -1;
  auto took = std::chrono::milliseconds(0);
  for (int i = 0; i < 200 && r == -1 && took < std::chrono::milliseconds(100); ++i) {
    const auto start = Steady::now();
    r = Exec("HttpServerRecv(", {Val(c), Val(0), Val(0), Val(0)});
    took = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start);
    if (r == -1 && took < std::chrono::milliseconds(100)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  EXPECT_EQ(r, -1);
  EXPECT_GE(took, std::chrono::milliseconds(100));
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_EQ(SetSize(), 1u);  // the connection was closed
}

TEST_F(HttpServerTest, IdleConnectionsDoNotHoldAClient) {
  int port = 0;
  const int32_t listener = Open(&port);
  std::vector<std::unique_ptr<TcpPeer>> idle(5);
  for (auto& peer : idle) {
    peer = std::make_unique<TcpPeer>();
    ASSERT_TRUE(peer->Connect(port, {"recv_all"}));
  }
  // A client queued behind the idle ones, then one that comes while the
  // line waits on them.
  for (const std::string path : {"/queued", "/later"}) {
    TcpPeer client;
    std::vector<std::string> actions = PeerActions({"GET " + path + " HTTP/1.1\r\n\r\n"});
    actions.push_back("recv_all");
    const bool queued = path == "/queued";
    if (queued) {
      ASSERT_TRUE(client.Connect(port, actions));
    }
    TagVar* head = Val(0);
    auto recv = std::async(std::launch::async, [&] {
      return Exec("HttpServerRecv(", {Val(listener), head, Val(0), Val(0)});
    });
    if (!queued) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ASSERT_TRUE(client.Connect(port, actions));
    }
    if (recv.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
      script_->SetQuit(1);  // ends the wait
      FAIL() << path << ": the client was not served within 1 s";
    }
    const int32_t c = recv.get();
    ASSERT_GE(c, services::kFirstSocketHandle) << path;
    EXPECT_EQ(head->Bytes(), "GET " + path + " HTTP/1.1\r\n\r\n");
    const std::string answer = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\n";
    EXPECT_EQ(Send(c, answer, "hi"), 2);
    EXPECT_TRUE(client.Says("got " + testing_support::PeerHex(answer + "hi"))) << path;
  }
  // Closing the listener gives up the idle connections the line took in
  // from it: none is left open until the script ends.
  EXPECT_EQ(services::HttpPendingOf(script_.get())->size(), idle.size());
  EXPECT_EQ(Exec("HttpServerClose(", {Val(listener)}), 0);
  EXPECT_EQ(services::HttpPendingOf(script_.get())->size(), 0u);
}

TEST_F(HttpServerTest, LineStopEndsAHeadWait) {
  int port = 0;
  const int32_t listener = Open(&port);
  TcpPeer peer;
  ASSERT_TRUE(peer.Connect(port, {"send:474554", "recv_all"}));  // "GET" and no more
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto recv = std::async(std::launch::async, [&] {
    return Exec("HttpServerRecv(", {Val(listener), Val(0), Val(0), Val(0)});
  });
  EXPECT_EQ(recv.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  script_->SetQuit(1);
  ASSERT_EQ(recv.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_EQ(recv.get(), -1);
  EXPECT_EQ(SetSize(), 1u);
}

}  // namespace

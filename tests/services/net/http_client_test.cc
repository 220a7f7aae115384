// The HTTP client: URL splitting, the chunk decoder and the head's fields
// as tables; "Http(" against raw python3 peers (interim heads, chunks in
// pieces, odd and absurd heads, bodies cut short, peers trickling heads,
// bodies and chunks given up at the response's deadline), requests with
// control bytes or ports out of range never sent to a recording peer,
// against python3's http.server beside http.client, and a line stop
// ending a chunk read.
#include "services/net/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "services/net/chunk_proc.h"
#include "services/net/http_head.h"
#include "services/net/http_limits.h"
#include "services/net/socket_handles.h"
#include "tests/frame/tcp_peer.h"
#include "tests/services/net/http_peer.h"
#include "tests/services/tcp_script_fixture.h"

namespace {

using engine::TagVar;
using services::BodyFraming;
using services::TagChunkProc;
using services_test::RawHttpServer;

TEST(SplitUrlTest, Forms) {
  struct Case {
    const char* url;
    const char* host;
    int port;
    const char* target;
  } cases[] = {
      {"http://h.example:8080/a", "h.example", 8080, "/a"},
      {"http://h.example", "h.example", 80, "http://h.example"},
      {"http://h.example:81", "h.example", 81, "http://h.example:81"},
      {"http://h.example/a:b/c", "h.example", 80, "/a:b/c"},
      {"h.example:90/x?q=1", "h.example", 90, "/x?q=1"},
      {"https://h.example/s", "h.example", 80, "/s"},
      {"http://h:x/a", "h", 0, "/a"},
      {"http://h:4294967376/a", "h", 2147483647, "/a"},  // not 80 (the number mod 2^32)
      {"http://h:-4294967216/a", "h", -2147483648, "/a"},
      {"", "", 80, ""},
  };
  for (const Case& c : cases) {
    std::string host;
    int port = -1;
    EXPECT_EQ(services::SplitUrl(c.url, &host, &port), c.target) << c.url;
    EXPECT_EQ(host, c.host) << c.url;
    EXPECT_EQ(port, c.port) << c.url;
  }
}

// Feeds pieces as the client does: what is not taken waits for the next.
int64_t FeedPieces(TagChunkProc* chunks, const std::vector<std::string>& pieces) {
  std::string pending;
  for (const std::string& piece : pieces) {
    pending += piece;
    while (!pending.empty()) {
      const int64_t left = chunks->Feed(pending.data(), pending.size());
      if (left < 0) return left;
      if (static_cast<size_t>(left) == pending.size()) break;
      pending.erase(0, pending.size() - static_cast<size_t>(left));
    }
  }
  return 0;
}

TEST(ChunkProcTest, Table) {
  struct Case {
    std::vector<std::string> pieces;
    int64_t result;
    std::string body;
  } cases[] = {
      {{"5\r\nhello\r\n0\r\n\r\n"}, TagChunkProc::kLastChunk, "hello"},
      {{"5", "\r\nhel", "lo\r", "\n0\r", "\n"}, TagChunkProc::kLastChunk, "hello"},
      {{"5;name=value\r\nhello\r\n3 ; x\r\nabc\r\n0\r\n"}, TagChunkProc::kLastChunk, "helloabc"},
      {{"A\r\n0123456789\r\n0;e\r\ntrailer: x\r\n\r\n"}, TagChunkProc::kLastChunk, "0123456789"},
      {{"5\r\nhello\r\n"}, 0, "hello"},
      {{"5\r\nhel"}, 0, ""},  // an unfinished chunk is not joined
      {{"x\r\n"}, TagChunkProc::kBadSizeLine, ""},
      {{"5\r\nhelloXY0\r\n\r\n"}, TagChunkProc::kBadSizeLine, ""},
      {{"5 junk\r\nhello\r\n"}, TagChunkProc::kBadSizeLine, ""},
      {{std::string(300, '1')}, TagChunkProc::kBadSizeLine, ""},
      {{"ffffffff\r\n"}, TagChunkProc::kTooLarge, ""},
      {{"4000000\r\n", std::string(0x10, 'a')}, 0, ""},
      {{"4000001\r\n"}, TagChunkProc::kTooLarge, ""},
  };
  for (const Case& c : cases) {
    TagChunkProc chunks;
    EXPECT_EQ(FeedPieces(&chunks, c.pieces), c.result) << c.pieces[0].substr(0, 20);
    std::string body;
    chunks.Join(&body);
    EXPECT_EQ(body, c.body) << c.pieces[0].substr(0, 20);
  }
}

TEST(HttpHeadTest, Framing) {
  struct Case {
    const char* head;
    BodyFraming::Kind kind;
    int64_t length;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\n", BodyFraming::kLength, 15},
      {"HTTP/1.1 200 OK\r\ncontent-length:15\r\n\r\n", BodyFraming::kLength, 15},
      {"HTTP/1.1 200 OK\r\nCONTENT-LENGTH: \t7 \r\n\r\n", BodyFraming::kLength, 7},
      {"HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\n\r\n", BodyFraming::kNone, 0},
      {"HTTP/1.1 200 OK\r\ntransfer-encoding:  Chunked\r\nContent-Length: "
       "3\r\n\r\n",
       BodyFraming::kChunked, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\n", BodyFraming::kMalformed, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", BodyFraming::kMalformed, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 67108865\r\n\r\n", BodyFraming::kMalformed, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 67108864\r\n\r\n", BodyFraming::kLength, 67108864},
      {"Content-Length: 5\r\n\r\n", BodyFraming::kNone, 0},  // the first line is no field
  };
  for (const Case& c : cases) {
    const BodyFraming f = services::ReadFraming(c.head);
    EXPECT_EQ(f.kind, c.kind) << c.head;
    EXPECT_EQ(f.length, c.length) << c.head;
  }
  EXPECT_TRUE(services::IsInterimHead("HTTP/1.1 100 Continue\r\n\r\n"));
  EXPECT_FALSE(services::IsInterimHead("HTTP/1.1 200 OK\r\n\r\n100 Continue"));
}

class HttpClientTest : public services_test::TcpScriptTest {
 protected:
  // "Http(" with a GET of url: the result, the body and head in *body, *head.
  int32_t Get(const std::string& url, std::string* body, std::string* head,
              const char* method = "GET", std::string request_body = "") {
    TagVar* b = Val(0);
    TagVar* h = Val(0);
    TagVar* rb = request_body.empty() ? Val(0) : Val(request_body);
    const int32_t r = Exec("Http(", {Val(method), Val(url), rb, Val("text/plain"), b, h});
    EXPECT_EQ(b->kind, engine::kVarString);
    *body = std::string(b->Bytes());
    *head = std::string(h->Bytes());
    return r;
  }
  std::string Url(int port, const std::string& path = "/p") {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }
};

constexpr const char* kOk = "HTTP/1.1 200 OK\r\n";
constexpr const char* kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

TEST_F(HttpClientTest, RawPeers) {
  const std::string ok = kOk;
  const std::string chunked = kChunkedHead;
  const std::string long_head = ok + "X-Long: " + std::string(3000, 'a') + "\r\n\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
    int32_t result;
    std::string body;
  } cases[] = {
      {"continue in the head's segment",
       {"HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 5\r\n\r\nhello"},
       5,
       "hello"},
      {"continue apart",
       {"HTTP/1.1 100 Continue\r\n\r\n", "sleep:150", ok + "Content-Length: 5\r\n\r\nhello"},
       5,
       "hello"},
      {"continue then a head in pieces",
       {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200", "sleep:150",
        " OK\r\nContent-Length: 2\r\n\r\nok"},
       2,
       "ok"},
      {"the words in a body", {ok + "Content-Length: 12\r\n\r\n100 Continue"}, 12, "100 Continue"},
      {"chunk with the head", {chunked + "5\r\nhello\r\n0\r\n\r\n"}, 5, "hello"},
      {"chunk after the head", {chunked, "sleep:150", "5\r\nhello\r\n0\r\n\r\n"}, 5, "hello"},
      {"size line split",
       {chunked + "5", "sleep:150", "\r\nhel", "sleep:100", "lo\r\n0\r", "sleep:100", "\n\r\n"},
       5,
       "hello"},
      {"chunk extension", {chunked + "5;a=b\r\nhello\r\n0\r\n\r\n"}, 5, "hello"},
      {"bad first size line",
       {chunked + "zz\r\nhello\r\n0\r\n\r\n"},
       static_cast<int32_t>(chunked.size() + 16),
       ""},
      {"lower-case length", {ok + "content-length: 5\r\n\r\nhello"}, 5, "hello"},
      {"length without a blank",
       {ok + "Content-Length:15\r\n\r\n123456789012345"},
       15,
       "123456789012345"},
      {"chunked named in the body only",
       {ok + "Content-Length: 26\r\n\r\nTransfer-Encoding: chunked"},
       26,
       "Transfer-Encoding: chunked"},
      {"body in slow pieces",
       {ok + "Content-Length: 10\r\n\r\nabc", "sleep:200", "defg", "sleep:200", "hij"},
       10,
       "abcdefghij"},
      {"body short at the close", {ok + "Content-Length: 10\r\n\r\nabc"}, 0, ""},
      {"huge length cut off", {ok + "Content-Length: 67108864\r\n\r\nabc"}, 0, ""},
      {"chunks cut off at the close", {chunked + "5\r\nhello\r\n"}, 0, ""},
      {"absurd length", {ok + "Content-Length: 99999999999\r\n\r\nabc"}, -2, ""},
      {"absurd chunk size", {chunked + "ffffffff\r\nabc"}, -2, ""},
      {"head over 2048 bytes", {long_head}, -2, ""},
      {"no length, body apart", {ok + "\r\n", "sleep:200", "body"}, 0, ""},
      {"no length, body with the head", {ok + "\r\nbody"}, -2, ""},
      {"a second head after the body", {ok + "Content-Length: 2\r\n\r\nokX-T: 1\r\n\r\n"}, 2, "ok"},
      {"closed at once", {}, 0, ""},
  };
  for (const Case& c : cases) {
    RawHttpServer server;
    ASSERT_TRUE(server.Start(c.pieces)) << c.name;
    std::string body, head;
    EXPECT_EQ(Get(Url(server.port()), &body, &head), c.result) << c.name;
    EXPECT_EQ(body, c.body) << c.name;
    if (c.result > 0 && c.body.size() == static_cast<size_t>(c.result)) {
      EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << c.name << ": " << head;
    }
  }
}

TEST_F(HttpClientTest, RequestHeads) {
  RawHttpServer get;
  ASSERT_TRUE(get.Start({std::string(kOk) + "Content-Length: 0\r\n\r\n"}));
  std::string body, head;
  EXPECT_EQ(Get(Url(get.port(), "/a/b?c=d"), &body, &head, "get"), 0);
  EXPECT_EQ(head, std::string(kOk) + "Content-Length: 0\r\n\r\n");
  const std::string host = "Host: 127.0.0.1:" + std::to_string(get.port()) + "\r\n";
  EXPECT_EQ(get.Request(), "GET /a/b?c=d HTTP/1.1\r\n" + host +
                               "Connection: close\r\nUser-Agent: VantorelHttp/1.0\r\n"
                               "Accept: */*\r\n\r\n");
  RawHttpServer post;
  ASSERT_TRUE(post.Start({std::string(kOk) + "Content-Length: 2\r\n\r\nok"}));
  const std::string sent(300000, 'q');
  EXPECT_EQ(Get(Url(post.port(), "/up"), &body, &head, "post", sent), 2);
  const std::string request = post.Request();
  EXPECT_EQ(request.substr(0, 9), "POST /up ");
  EXPECT_NE(request.find("Content-type: text/plain\r\nContent-Length: 300000\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(request.size() - request.find("\r\n\r\n") - 4, sent.size());
  // A request head above its limit is not sent.
  EXPECT_EQ(Get(Url(post.port(), "/" + std::string(1100, 'a')), &body, &head), -2);
  // A host that does not resolve.
  EXPECT_EQ(Get("http://x.invalid/", &body, &head), -1);
  EXPECT_EQ(head, "");
}

TEST_F(HttpClientTest, PythonServerGivesWhatHttpClientGets) {
  testing_support::TempDir files;
  std::string nul("a\0b\0\0c", 6);
  std::string big(5 * 1024 * 1024, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  const std::vector<std::pair<std::string, std::string>> fixtures = {
      {"nul.bin", nul},
      {"empty.bin", ""},
      {"k100.bin", big.substr(0, 100 * 1024)},
      {"m5.bin", big}};
  for (const auto& [name, bytes] : fixtures) testing_support::WriteFile(files.File(name), bytes);
  services_test::PortPeer server;
  ASSERT_TRUE(server.Start(services_test::kFolderServer, {files.path()}));
  for (const auto& [name, bytes] : fixtures) {
    const std::string got = files.File(name + ".got");
    services_test::RunPython(
        "import http.client, sys\n"
        "c = http.client.HTTPConnection('127.0.0.1', int(sys.argv[1]))\n"
        "c.request('GET', '/' + sys.argv[2])\n"
        "open(sys.argv[3], 'wb').write(c.getresponse().read())\n",
        {std::to_string(server.port()), name, got});
    const std::string fetched = testing_support::ReadFile(got).value_or("-");
    EXPECT_TRUE(fetched == bytes) << name << " " << fetched.size();
    std::string body, head;
    EXPECT_EQ(Get(Url(server.port(), "/" + name), &body, &head), static_cast<int32_t>(bytes.size()))
        << name;
    EXPECT_TRUE(body == bytes) << name;
    EXPECT_NE(head.find("Content-Length: " + std::to_string(bytes.size())), std::string::npos);
  }
}

// The deadlines of the slow-peer tests: the whole response 600 ms, one
// chunk read 400 ms.
constexpr services::HttpReadLimits kShortLimits{
    .response_ms = 600, .chunk_read_ms = 400, .chunk_reads = 200, .request_ms = 800};
// The same with a long response deadline and five chunk reads at most.
constexpr services::HttpReadLimits kFewChunkReads{
    .response_ms = 5000, .chunk_read_ms = 400, .chunk_reads = 5, .request_ms = 800};

// Chunks of one byte, ms apart, without the last chunk.
std::vector<std::string> TrickledChunks(int count, int ms) {
  std::vector<std::string> pieces;
  for (int i = 0; i < count; ++i) {
    if (i > 0) pieces.push_back("sleep:" + std::to_string(ms));
    pieces.push_back("1\r\na\r\n");
  }
  return pieces;
}

TEST_F(HttpClientTest, SlowPeersEndAtTheDeadline) {
  using services_test::Joined;
  using services_test::Trickled;
  const std::string ok = kOk;
  const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  std::vector<std::string> interims;
  for (int i = 0; i < 20; ++i) interims.insert(interims.end(), {interim, "sleep:100"});
  struct Case {
    const char* name;
    const services::HttpReadLimits* limits;
    std::vector<std::string> pieces;
    int max_ms;
    const char* log;
  } cases[] = {
      {"head trickled", &kShortLimits, Trickled(ok + "Content-Length: 2\r\n\r\nok", 40), 1200,
       "HTTP: head not ended"},
      {"body trickled", &kShortLimits,
       Joined({ok + "Content-Length: 1000\r\n\r\n"}, Trickled(std::string(40, 'b'), 40)), 1200,
       "HTTP: body short by"},
      {"chunks trickled", &kShortLimits,
       Joined({kChunkedHead}, Joined(TrickledChunks(30, 60), {"0\r\n\r\n"})), 1200,
       "isChunked Not Recv All data."},
      {"interim heads trickled", &kShortLimits,
       Joined(interims, {ok + "Content-Length: 2\r\n\r\nok"}), 1200, "Recv Head Failed."},
      {"more chunk reads than allowed", &kFewChunkReads,
       Joined({kChunkedHead}, Joined(TrickledChunks(30, 60), {"0\r\n\r\n"})), 1200,
       "isChunked Not Recv All data."},
  };
  for (const Case& c : cases) {
    services::ScopedHttpReadLimits limits(c.limits);
    services_test::CapturedLog log;
    RawHttpServer server;
    ASSERT_TRUE(server.Start(c.pieces)) << c.name;
    std::string body, head;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(Url(server.port()), &body, &head), 0) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.max_ms))
        << c.name;
    EXPECT_EQ(body, "") << c.name;
    EXPECT_NE(log.Text().find(c.log), std::string::npos) << c.name << "\n" << log.Text();
  }
}

// The client's trace and log texts: "HttpProc end." only where a chunked
// read ends, a chunked head that did not end gives the count read, and the
// failure lines carry the whole request head and host.
TEST_F(HttpClientTest, TracedTexts) {
  const std::string unended = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
    int32_t result;
    std::vector<std::string> logged, not_logged;
  } cases[] = {
      {"sized body", {std::string(kOk) + "Content-Length: 2\r\n\r\nok"}, 2, {}, {"HttpProc end."}},
      {"whole chunked body",
       {std::string(kChunkedHead) + "2\r\nok\r\n0\r\n\r\n"},
       2,
       {"CopyTo", "HttpProc end."},
       {}},
      {"chunked body cut off",
       {std::string(kChunkedHead) + "2\r\nok\r\n"},
       0,
       {"isChunked Recv Timeout."},
       {"HttpProc end."}},
      {"chunked head not ended",
       {unended},
       static_cast<int32_t>(unended.size()),
       {"isChunked Not found Body."},
       {"HttpProc end.", "HTTP: head not ended"}},
  };
  for (const Case& c : cases) {
    services_test::CapturedLog log;
    RawHttpServer server;
    ASSERT_TRUE(server.Start(c.pieces)) << c.name;
    std::string body, head;
    EXPECT_EQ(Get(Url(server.port()), &body, &head), c.result) << c.name;
    const std::string text = log.Text();
    for (const std::string& l : c.logged) {
      EXPECT_NE(text.find(l), std::string::npos) << c.name << ": " << l;
    }
    for (const std::string& l : c.not_logged) {
      EXPECT_EQ(text.find(l), std::string::npos) << c.name << ": " << l;
    }
  }
}

// A peer that reads the request head and closes, leaving the body unread.
const std::string kHeadThenClose = std::string(services_test::kListeningStart) + R"PY(
c, data = accept_head()
c.close()
print('done', flush=True)
)PY";

// The failure lines carry the whole host and request head: the raw trace
// (level 3) keeps what the log's 127 characters cut.
TEST_F(HttpClientTest, FailureLinesCarryTheWholeHostAndHead) {
  services_test::CapturedLog log;
  frame::GetSettings().log_level = 3;
  // A host of 251 bytes that does not resolve.
  std::string host;
  for (int i = 0; i < 4; ++i) host += std::string(60, static_cast<char>('a' + i)) + ".";
  host += "invalid";
  std::string body, head;
  EXPECT_EQ(Get("http://" + host + ":81/", &body, &head), -1);
  services_test::PortPeer closing;
  ASSERT_TRUE(closing.Start(kHeadThenClose, {}));
  const std::string path = "/" + std::string(100, 'u');
  const std::string sent(32 << 20, 'b');
  EXPECT_EQ(Get(Url(closing.port(), path), &body, &head, "POST", sent), -2);
  const std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                              std::to_string(closing.port()) +
                              "\r\nConnection: close\r\nUser-Agent: VantorelHttp/1.0\r\n"
                              "Accept: */*\r\nContent-type: text/plain\r\nContent-Length: " +
                              std::to_string(sent.size()) + "\r\n\r\n";
  const std::string raw = testing_support::ReadFile("RawLog.txt").value_or("");
  EXPECT_NE(raw.find("HTTP: Connect '" + host + ":81' Failed!"), std::string::npos) << raw;
  EXPECT_NE(raw.find("HTTP: send('" + request + "') Failed, "), std::string::npos) << raw;
}

TEST_F(HttpClientTest, UnsafeRequestsAreNotSent) {
  services_test::CapturedLog log;
  services_test::PortPeer server;
  ASSERT_TRUE(server.Start(services_test::kRecordingHttpServer, {}));
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  const std::string post(3, 'p');
  struct Case {
    const char* name;
    std::string method, url, type;
    int32_t result;
  } cases[] = {
      {"CR LF in the URL", "GET", base + "/a HTTP/1.1\r\nCookie: s=1\r\nX:", "t", -2},
      {"LF in the URL", "GET", base + "/a\nCookie: s=1", "t", -2},
      {"a second request in the URL", "GET",
       base + "/a HTTP/1.1\r\nHost: h\r\n\r\nGET /b", "t", -2},
      {"CR LF in the method", "GET /x HTTP/1.1\r\nCookie: s=1\r\nX-A: GET", base + "/a", "t",
       -2},
      {"DEL in the method", "GE\x7fT", base + "/a", "t", -2},
      {"tab in the URL", "GET", base + "/a\tb", "t", -2},
      {"CR LF in the content type", "POST", base + "/a", "text/plain\r\nCookie: s=1", -2},
      {"port above 65535", "GET", "http://127.0.0.1:" + std::to_string(server.port() + 65536) + "/a",
       "t", -1},
      {"port wrapping at 2^32", "GET",
       "http://127.0.0.1:" + std::to_string(server.port() + 4294967296LL) + "/a", "t", -1},
      {"negative port", "GET", "http://127.0.0.1:-1/a", "t", -1},
  };
  for (const Case& c : cases) {
    TagVar *b = Val(0), *h = Val(0);
    EXPECT_EQ(Exec("Http(", {Val(c.method), Val(c.url), Val(post), Val(c.type), b, h}), c.result)
        << c.name;
    EXPECT_EQ(b->Bytes(), "") << c.name;
  }
  // Bytes of GBK text are no control bytes.
  std::string body, head;
  EXPECT_EQ(Get(base + "/文件?q=名", &body, &head), 2);
  EXPECT_EQ(body, "ok");
  EXPECT_EQ(testing_support::ReadFile(server.port_file() + ".req").value_or(""),
            "GET /文件?q=名 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                "\r\nConnection: close\r\nUser-Agent: VantorelHttp/1.0\r\nAccept: */*\r\n\r\n");
  const std::string text = log.Text();
  EXPECT_NE(text.find("HTTP: a control byte in the URL"), std::string::npos) << text;
  EXPECT_NE(text.find("HTTP: a control byte in the method"), std::string::npos) << text;
  EXPECT_NE(text.find("HTTP: a control byte in the content type"), std::string::npos) << text;
  EXPECT_NE(text.find("port -1 is not 0-65535"), std::string::npos) << text;
}

TEST_F(HttpClientTest, LineStopEndsAChunkRead) {
  const size_t handles = services::SocketHandlesInUse();
  RawHttpServer server;
  ASSERT_TRUE(server.Start({std::string(kChunkedHead) + "5\r\nhe", "sleep:15000"}));
  std::string body, head;
  auto get = std::async(std::launch::async, [&] { return Get(Url(server.port()), &body, &head); });
  EXPECT_EQ(get.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  const auto stopped = std::chrono::steady_clock::now();
  script_->SetQuit(1);
  ASSERT_EQ(get.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
  EXPECT_EQ(get.get(), 0);
  EXPECT_EQ(body, "");
  EXPECT_EQ(services::SocketHandlesInUse(), handles);
}

}  // namespace

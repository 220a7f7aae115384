// The HTTP client and server beside real peers, in one run, with nginx (one
// worker, started for this run by the test servers helper):
//  - "Http(" fetching 5 MB from nginx vs curl -o /dev/null (curl's own
//    transfer time, without its start-up); goal at most 1.5x curl's time;
//  - eight lines sharing one listener, each taking requests with
//    "HttpServerRecv(" and answering a 10 KB body with "HttpServerSend(",
//    under ab -n 10000 -c 8, vs nginx serving that file; goal at least half
//    nginx's requests per second.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/control_compile.h"
#include "engine/expression_hook.h"
#include "engine/keyword_table.h"
#include "engine/line_call.h"
#include "engine/script_control.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "services/net/http_client.h"
#include "services/net/socket_set.h"
#include "services/service_statements.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFetches = 15;
constexpr size_t kBigBody = 5 * 1024 * 1024;
constexpr size_t kSmallBody = 10 * 1024;
constexpr int kLines = 8;
constexpr const char* kAbRequests = "10000";

std::string Run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

struct Nginx {
  std::string helper = std::string("python3 ") + VTTEL_SOURCE_DIR "/tests/servers/test_servers.py";
  std::string state = "/tmp/vttel_http_bench_" + std::to_string(getpid()) + ".state";
  std::string folder;
  int port = 0;
  Nginx() {
    if (std::system((helper + " start nginx --state " + state).c_str()) != 0) std::abort();
    FILE* f = std::fopen(state.c_str(), "r");
    char kind[64], key[64], value[512];
    while (f != nullptr && std::fscanf(f, "%63s %63s %511s", kind, key, value) == 3) {
      if (std::string(key) == "port") port = std::atoi(value);
      if (std::string(key) == "folder") folder = value;
    }
    if (f != nullptr) std::fclose(f);
  }
  ~Nginx() { std::system((helper + " stop --state " + state).c_str()); }
  void Serve(const std::string& name, size_t size) const {
    std::string bytes(size, 'x');
    FILE* f = std::fopen((folder + "/www/" + name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::string Url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port) + "/" + name;
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double RequestsPerSecond(const std::string& ab_output) {
  const size_t at = ab_output.find("Requests per second:");
  if (at == std::string::npos || ab_output.find("Failed requests:        0") == std::string::npos) {
    std::fprintf(stderr, "%s\n", ab_output.c_str());
    return 0;
  }
  return std::atof(ab_output.c_str() + at + 20);
}

void FetchBeside(const Nginx& nginx) {
  nginx.Serve("big.bin", kBigBody);
  const std::string url = nginx.Url("big.bin");
  std::vector<double> ours, curls;
  engine::TagVar body;
  for (int i = 0; i < kFetches; ++i) {
    const auto start = Clock::now();
    services::HttpResponse response;
    const int32_t r = services::HtmlRecv(nullptr, url, "GET", "", "", &response);
    body.SetBytes(response.body.data(), response.body.size());
    ours.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (r != static_cast<int32_t>(kBigBody)) std::abort();
    curls.push_back(std::atof(Run("curl -s -o /dev/null -w '%{time_total}' " + url).c_str()));
  }
  const double a = Median(ours), b = Median(curls);
  std::printf("5 MB from nginx: Http( %.2f ms, curl %.2f ms, ratio %.2fx (goal <= 1.5x)\n", a * 1e3,
              b * 1e3, a / b);
}

// A line answering requests from the shared listener until told to stop.
void ServeLine(engine::TagTelBasic* script, int32_t listener, const std::atomic<bool>* stop) {
  engine::TagVar l, h, b, a, conn, empty, body;
  l.SetInt(listener);
  empty.SetString("");
  const std::string bytes(kSmallBody, 'x');
  body.SetBytes(bytes.data(), bytes.size());
  auto build = [script](const char* keyword, std::vector<engine::TagVar*> args) {
    engine::StatementBuild b;
    b.row = engine::Keywords().FindKeyword(keyword);
    b.args = std::move(args);
    b.script = script;
    std::string error;
    return std::unique_ptr<engine::TagOper>(engine::Statements().Build(b, &error));
  };
  auto recv = build("HttpServerRecv(", {&l, &h, &b, &a});
  auto send = build("HttpServerSend(", {&conn, &empty, &body});
  while (!stop->load(std::memory_order_relaxed)) {
    const int32_t c = recv->Execute();
    if (c < 0) {
      // What a script does when nothing waits: "Sleep(0.001)".
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    conn.SetInt(c);
    send->Execute();
  }
}

void ServeBeside(const Nginx& nginx) {
  nginx.Serve("small.bin", kSmallBody);
  const double theirs = RequestsPerSecond(
      Run(std::string("ab -q -n ") + kAbRequests + " -c 8 " + nginx.Url("small.bin")));
  char dir[] = "/tmp/vttel_http_bench_XXXXXX";
  if (mkdtemp(dir) == nullptr || chdir(dir) != 0) std::abort();
  FILE* f = std::fopen("empty.vts", "w");
  std::fputs("\n", f);
  std::fclose(f);
  std::vector<std::unique_ptr<engine::LineCallBase>> calls;
  std::vector<std::unique_ptr<engine::TagTelBasic>> scripts;
  for (int i = 0; i < kLines; ++i) {
    calls.push_back(std::make_unique<engine::LineCallBase>());
    calls.back()->lineNo = i;
    scripts.push_back(
        std::make_unique<engine::TagTelBasic>("empty.vts", i, calls.back().get(), 0, nullptr));
  }
  engine::TagVar port_value;
  port_value.SetInt(0);
  engine::StatementBuild open;
  open.row = engine::Keywords().FindKeyword("HttpServerOpen(");
  open.args = {&port_value};
  open.script = scripts[0].get();
  std::string error;
  const int32_t listener =
      std::unique_ptr<engine::TagOper>(engine::Statements().Build(open, &error))->Execute();
  if (listener < 0) std::abort();
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(
      services::SocketSetOf(scripts[0].get())->Find(listener, services::SocketKind::kHttpListener),
      reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  std::atomic<bool> stop{false};
  std::vector<std::thread> lines;
  for (auto& s : scripts) lines.emplace_back(ServeLine, s.get(), listener, &stop);
  const double ours =
      RequestsPerSecond(Run(std::string("ab -q -n ") + kAbRequests +
                            " -c 8 http://127.0.0.1:" + std::to_string(port) + "/"));
  stop = true;
  for (std::thread& t : lines) t.join();
  scripts.clear();
  std::remove("empty.vts");
  chdir("/");
  rmdir(dir);
  std::printf(
      "10 KB under ab -n %s -c 8: 8 lines %.0f req/s, nginx (1 worker) %.0f req/s, "
      "ratio %.2f (goal >= 0.5)\n",
      kAbRequests, ours, theirs, theirs > 0 ? ours / theirs : 0.0);
}

}  // namespace

int main() {
  engine::RegisterStatementCompiler();
  engine::RegisterScriptControlStatements();
  services::RegisterServiceStatements();
  Nginx nginx;
  FetchBeside(nginx);
  ServeBeside(nginx);
  return 0;
}

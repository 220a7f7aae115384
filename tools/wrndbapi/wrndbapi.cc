// The stand-in client library of the maker's database server (wrndbapi.h).
//
// Wire protocol with tools/wrndbd.py: every message is a 4-byte big-endian
// length and as many bytes of fields, each field ended by a NUL byte.
//   LOGIN user password has_text text  ->  OK | ERR message
//   EXEC sql  ->  ret ret_code error cols rows (name width)*cols (cell)*rows*cols
// A NULL cell travels as an empty field. The server closes a connection
// it drops without answering.
#include "include/wrndbapi.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kReplyTimeoutMs = 60000;
constexpr uint32_t kMaxMessageBytes = 256u << 20;

struct Column {
  std::string name;
  int width = 1;
};

struct Connection {
  int fd = -1;
  std::vector<Column> columns;
  std::vector<std::string> cells;  // row-major
  int rows = 0;
  int cursor = 0;  // 1-based row under the cursor; 0 none
  ~Connection() {
    if (fd >= 0) ::close(fd);
  }
  void ClearResult() {
    columns.clear();
    cells.clear();
    rows = 0;
    cursor = 0;
  }
};

std::mutex table_mu;
std::vector<std::shared_ptr<Connection>> table;  // handle = index + 1

std::shared_ptr<Connection> Find(int handle) {
  std::lock_guard<std::mutex> lock(table_mu);
  if (handle < 1 || handle > static_cast<int>(table.size())) return nullptr;
  return table[static_cast<size_t>(handle - 1)];
}

// --- trace ----------------------------------------------------------------

std::mutex trace_mu;

std::string Quoted(const char* text) {
  return text == nullptr ? std::string("NULL") : "\"" + std::string(text) + "\"";
}

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char* format, ...) {
  const char* path = std::getenv("VTTEL_WRNDB_TRACE");
  if (path == nullptr || *path == '\0') return;
  char line[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::lock_guard<std::mutex> lock(trace_mu);
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
  }
}

// --- network --------------------------------------------------------------

bool WaitFor(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  int r;
  do {
    r = ::poll(&p, 1, ms);
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

int ConnectTo(const char* host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (port < 1 || port > 65535 ||
      ::getaddrinfo(host != nullptr && *host != '\0' ? host : "127.0.0.1", service.c_str(),
                    &hints, &found) != 0) {
    return -1;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  bool ok = fd >= 0;
  if (ok && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    int error = 0;
    socklen_t len = sizeof error;
    ok = errno == EINPROGRESS && WaitFor(fd, POLLOUT, kConnectTimeoutMs) &&
         ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
  }
  ::freeaddrinfo(found);
  if (!ok) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    if (!WaitFor(fd, POLLOUT, kReplyTimeoutMs)) return false;
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool RecvAll(int fd, char* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    if (!WaitFor(fd, POLLIN, kReplyTimeoutMs)) return false;
    const ssize_t n = ::recv(fd, out + done, size - done, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool SendFields(int fd, const std::vector<std::string_view>& fields) {
  std::string body;
  for (std::string_view f : fields) {
    body.append(f);
    body.push_back('\0');
  }
  const uint32_t size = htonl(static_cast<uint32_t>(body.size()));
  return SendAll(fd, std::string(reinterpret_cast<const char*>(&size), 4) + body);
}

std::optional<std::vector<std::string>> RecvFields(int fd) {
  uint32_t size = 0;
  if (!RecvAll(fd, reinterpret_cast<char*>(&size), 4)) return std::nullopt;
  size = ntohl(size);
  if (size > kMaxMessageBytes) return std::nullopt;
  std::string body(size, '\0');
  if (!RecvAll(fd, body.data(), size)) return std::nullopt;
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\0') continue;
    fields.emplace_back(body, start, i - start);
    start = i + 1;
  }
  return fields;
}

int Number(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

void CopyCut(char* out, std::string_view text, size_t bytes) {
  const size_t n = std::min(text.size(), bytes - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// Reads an EXEC answer into c: false when it is malformed.
bool TakeResult(Connection& c, const std::vector<std::string>& f, int* ret, int* ret_code,
                std::string* error) {
  if (f.size() < 5) return false;
  *ret = Number(f[0]);
  *ret_code = Number(f[1]);
  *error = f[2];
  const int cols = Number(f[3]);
  const int rows = Number(f[4]);
  if (cols < 0 || rows < 0) return false;
  const size_t need = 5 + 2 * static_cast<size_t>(cols) +
                      static_cast<size_t>(rows) * static_cast<size_t>(cols);
  if (f.size() != need) return false;
  for (int i = 0; i < cols; ++i) {
    c.columns.push_back({f[5 + 2 * i], std::max(1, Number(f[6 + 2 * i]))});
  }
  c.cells.assign(f.begin() + 5 + 2 * cols, f.end());
  c.rows = cols > 0 ? rows : 0;
  c.cursor = c.rows > 0 ? 1 : 0;
  return true;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

int ColumnByName(const Connection& c, const char* name) {
  if (name == nullptr) return -1;
  for (size_t i = 0; i < c.columns.size(); ++i) {
    if (EqualsIgnoreCase(c.columns[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

int ValueAt(const Connection& c, int index, char* value) {
  if (c.cursor < 1 || c.cursor > c.rows || index < 0 ||
      index >= static_cast<int>(c.columns.size())) {
    return -1;
  }
  const std::string& cell =
      c.cells[static_cast<size_t>(c.cursor - 1) * c.columns.size() + static_cast<size_t>(index)];
  if (value != nullptr) CopyCut(value, cell, WRNDB_VALUE_BYTES);
  return static_cast<int>(std::min<size_t>(cell.size(), WRNDB_VALUE_BYTES - 1));
}

}  // namespace

extern "C" {

int WrnDbInit(void) {
  const char* forced = std::getenv("VTTEL_WRNDB_INIT_RESULT");
  const int result = forced != nullptr && *forced != '\0' ? Number(forced) : 0;
  Trace("WrnDbInit() = %d", result);
  return result;
}

int WrnDbFree(void) {
  std::lock_guard<std::mutex> lock(table_mu);
  for (auto& c : table) c.reset();
  Trace("WrnDbFree() = 0");
  return 0;
}

int WrnDbOpen(const char* host, int port, const char* text, const char* user,
              const char* password) {
  auto c = std::make_shared<Connection>();
  c->fd = ConnectTo(host, port);
  bool ok = c->fd >= 0 &&
            SendFields(c->fd, {"LOGIN", user != nullptr ? user : "",
                               password != nullptr ? password : "", text != nullptr ? "1" : "0",
                               text != nullptr ? text : ""});
  if (ok) {
    const auto answer = RecvFields(c->fd);
    ok = answer && !answer->empty() && (*answer)[0] == "OK";
  }
  int handle = 0;
  if (ok) {
    std::lock_guard<std::mutex> lock(table_mu);
    table.push_back(std::move(c));
    handle = static_cast<int>(table.size());
  }
  Trace("WrnDbOpen(%s, %d, %s, %s) = %d", Quoted(host).c_str(), port, Quoted(text).c_str(),
        Quoted(user).c_str(), handle);
  return handle;
}

int WrnDbClose(int handle) {
  int result = -1;
  {
    std::lock_guard<std::mutex> lock(table_mu);
    if (handle >= 1 && handle <= static_cast<int>(table.size()) && table[handle - 1]) {
      table[static_cast<size_t>(handle - 1)].reset();
      result = 0;
    }
  }
  Trace("WrnDbClose(%d) = %d", handle, result);
  return result;
}

int WrnDbExec(int handle, const char* sql, int* ret_code, char* error) {
  const std::shared_ptr<Connection> c = Find(handle);
  int ret = -1;
  int code = -1;
  std::string text = "no such connection";
  if (c != nullptr) {
    c->ClearResult();
    text = "connection lost";
    if (c->fd >= 0 && SendFields(c->fd, {"EXEC", sql != nullptr ? sql : ""})) {
      const auto answer = RecvFields(c->fd);
      if (!answer || !TakeResult(*c, *answer, &ret, &code, &text)) {
        c->ClearResult();
        ret = -1;
        code = -1;
        text = answer ? "malformed answer" : "connection lost";
      }
    }
    if (ret < 0 && c->fd >= 0) {
      ::close(c->fd);
      c->fd = -1;
    }
  }
  if (ret_code != nullptr) *ret_code = code;
  if (error != nullptr) CopyCut(error, text, WRNDB_ERROR_BYTES);
  Trace("WrnDbExec(%d, %s) = %d, %d", handle, Quoted(sql).c_str(), ret, code);
  return ret;
}

int WrnDbRows(int handle) {
  const auto c = Find(handle);
  const int rows = c != nullptr ? c->rows : 0;
  Trace("WrnDbRows(%d) = %d", handle, rows);
  return rows;
}

int WrnDbCols(int handle) {
  const auto c = Find(handle);
  const int cols = c != nullptr ? static_cast<int>(c->columns.size()) : 0;
  Trace("WrnDbCols(%d) = %d", handle, cols);
  return cols;
}

int WrnDbGetColInfoByIndex(int handle, int index, char* name, int* width, int* type,
                           int* extra) {
  const auto c = Find(handle);
  int result = -1;
  if (c != nullptr && index >= 0 && index < static_cast<int>(c->columns.size())) {
    const Column& col = c->columns[static_cast<size_t>(index)];
    if (name != nullptr) CopyCut(name, col.name, WRNDB_NAME_BYTES);
    if (width != nullptr) *width = col.width;
    if (type != nullptr) *type = 0;
    if (extra != nullptr) *extra = 0;
    result = index;
  }
  Trace("WrnDbGetColInfoByIndex(%d, %d) = %d", handle, index, result);
  return result;
}

int WrnDbGetColInfoByName(int handle, const char* name, int* width, int* type, int* extra) {
  const auto c = Find(handle);
  const int index = c != nullptr ? ColumnByName(*c, name) : -1;
  if (index >= 0) {
    if (width != nullptr) *width = c->columns[static_cast<size_t>(index)].width;
    if (type != nullptr) *type = 0;
    if (extra != nullptr) *extra = 0;
  }
  Trace("WrnDbGetColInfoByName(%d, %s) = %d", handle, Quoted(name).c_str(), index);
  return index;
}

int WrnDbGotoRec(int handle, int row) {
  const auto c = Find(handle);
  int result = -1;
  if (c != nullptr && row >= 1 && row <= c->rows) {
    c->cursor = row;
    result = row;
  }
  Trace("WrnDbGotoRec(%d, %d) = %d", handle, row, result);
  return result;
}

int WrnDbNext(int handle) {
  const auto c = Find(handle);
  int result = -1;
  if (c != nullptr && c->cursor >= 1 && c->cursor <= c->rows) {
    ++c->cursor;
    result = c->cursor <= c->rows ? 0 : -1;
  }
  Trace("WrnDbNext(%d) = %d", handle, result);
  return result;
}

int WrnDbGetValByName(int handle, const char* name, char* value) {
  const auto c = Find(handle);
  const int result = c != nullptr ? ValueAt(*c, ColumnByName(*c, name), value) : -1;
  Trace("WrnDbGetValByName(%d, %s) = %d", handle, Quoted(name).c_str(), result);
  return result;
}

int WrnDbGetValByIndex(int handle, int index, char* value) {
  const auto c = Find(handle);
  const int result = c != nullptr ? ValueAt(*c, index, value) : -1;
  Trace("WrnDbGetValByIndex(%d, %d) = %d", handle, index, result);
  return result;
}

}  // extern "C"

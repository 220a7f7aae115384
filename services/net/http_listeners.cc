#include "services/net/http_listeners.h"

#include <map>
#include <mutex>

#include "frame/tcp_socket.h"
#include "services/net/socket_set.h"

namespace services {
namespace {

struct Listener {
  int32_t handle;
  int socket;
};

std::mutex g_mu;
std::map<int, Listener>& Map() {
  static auto* map = new std::map<int, Listener>;  // guarded by g_mu
  return *map;
}

// The entry of a handle; g_mu held.
std::map<int, Listener>::iterator FindHandle(int32_t handle) {
  auto& map = Map();
  for (auto it = map.begin(); it != map.end(); ++it) {
    if (it->second.handle == handle) return it;
  }
  return map.end();
}

void ForgetListener(int32_t handle, int /*socket*/) {
  std::lock_guard<std::mutex> lock(g_mu);
  const auto it = FindHandle(handle);
  if (it != Map().end()) Map().erase(it);
}

}  // namespace

void AddHttpListener(int port, int32_t handle, int socket) {
  SetSocketCloseHook(SocketKind::kHttpListener, &ForgetListener);
  std::lock_guard<std::mutex> lock(g_mu);
  Map()[port] = Listener{handle, socket};
}

bool IsHttpListener(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mu);
  return FindHandle(handle) != Map().end();
}

int AcceptHttpListener(int32_t handle, std::string* address) {
  address->clear();
  std::lock_guard<std::mutex> lock(g_mu);
  const auto it = FindHandle(handle);
  if (it == Map().end()) return kNoListener;
  const int ready = frame::TcpCanRead(it->second.socket);
  if (ready == 0) return -1;
  if (ready < 0) return -2;
  char peer[frame::kTcpAddressRoom];
  const int socket = frame::TcpAcceptClient(it->second.socket, peer);
  if (socket >= 0) address->assign(peer);
  return socket;
}

size_t HttpListenerCount() {
  std::lock_guard<std::mutex> lock(g_mu);
  return Map().size();
}

}  // namespace services

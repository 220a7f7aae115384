#include "services/net/udp_statements.h"

#include <string>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "services/net/socket_results.h"
#include "services/net/socket_set.h"
#include "services/net/udp_socket.h"

namespace services {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

namespace {

// The result of a statement given a handle that names no open UDP socket.
constexpr int32_t kNotOpen = -1;

// The base of the statements: the line's arguments and its socket set.
class UdpStatement : public engine::ArgsStatement {
 public:
  explicit UdpStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  SocketSet* Set() const { return SocketSetOf(Compiling()); }
  // A lease on the UDP socket of a handle that any line opened, or null.
  static SocketLease SocketOf(const TagVar& handle) {
    return LeaseSocket(ArgStoredInt(handle), SocketKind::kUdp);
  }
};

// "UdpOpen(" (local port): the handle, or -3, -4.
class TagUdpOpen : public UdpStatement {
 public:
  using UdpStatement::UdpStatement;
  int32_t Execute() override {
    UdpStartup();
    SocketSet* set = Set();
    if (set == nullptr) return frame::kTcpNoSocket;
    const int port = ArgInt(*port_);
    int socket = -1;
    const int opened = UdpOpenSocket(port, &socket);
    if (opened != 0) return opened;
    const int32_t handle = set->Add(socket, SocketKind::kUdp);
    frame::LogMsgF("UdpOpen(port=%d): hd=0x%x", port, static_cast<unsigned>(handle));
    return handle;
  }

 private:
  TagVar* port_ = &Argument(0);
};

// "UdpClose(" (handle): 0, also for a socket another line opened; -1 for
// a handle that names no open UDP socket.
class TagUdpClose : public UdpStatement {
 public:
  using UdpStatement::UdpStatement;
  int32_t Execute() override {
    return RemoveSocket(ArgStoredInt(*handle_), SocketKind::kUdp) ? 0 : kNotOpen;
  }

 private:
  TagVar* handle_ = &Argument(0);
};

// "UdpSend(" (handle, host, port, data): one datagram of the data's bytes.
class TagUdpSend : public UdpStatement {
 public:
  using UdpStatement::UdpStatement;
  int32_t Execute() override {
    if (data_->kind != engine::kVarString || data_->Bytes().empty()) return kUdpBadData;
    if (host_->kind != engine::kVarString) return kUdpBadHost;
    const SocketLease socket = SocketOf(*handle_);
    if (socket == nullptr) return kNotOpen;
    const std::string_view bytes = data_->Bytes();
    return static_cast<int32_t>(UdpSendTo(socket->socket(), ArgText(*host_), ArgInt(*port_),
                                          bytes.data(), bytes.size()));
  }

 private:
  TagVar *handle_ = &Argument(0), *host_ = &Argument(1), *port_ = &Argument(2),
         *data_ = &Argument(3);
};

// "UdpRecv(" (handle, address variable, port variable, data variable):
// waits for one datagram; the variables change only for a result above 0.
class TagUdpRecv : public UdpStatement {
 public:
  using UdpStatement::UdpStatement;
  int32_t Execute() override {
    const SocketLease socket = SocketOf(*handle_);
    if (socket == nullptr) return kNotOpen;
    // The line's stop ends a wait on another line's socket as a shutdown
    // of the socket would.
    if (!WaitReadableOrStop(Compiling(), *socket)) return 0;
    char buffer[kUdpDatagramLimit];
    std::string address;
    int port = 0;
    const long got = UdpRecvFrom(socket->socket(), buffer, sizeof buffer, &address, &port);
    if (got > 0) {
      data_->SetBytes(buffer, static_cast<size_t>(got));
      address_->AssignString(address);
      port_->AssignInt(port);
    }
    return static_cast<int32_t>(got);
  }

 private:
  TagVar *handle_ = &Argument(0), *address_ = &Argument(1), *port_ = &Argument(2),
         *data_ = &Argument(3);
};

// "UdpTest(" (handle): 1 a datagram waits, 0 none; never waits.
class TagUdpTest : public UdpStatement {
 public:
  using UdpStatement::UdpStatement;
  int32_t Execute() override {
    const SocketLease socket = SocketOf(*handle_);
    return socket != nullptr ? frame::TcpCanRead(socket->socket()) : kNotOpen;
  }

 private:
  TagVar* handle_ = &Argument(0);
};

}  // namespace

void RegisterUdpStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("UdpOpen(", &BuildStatement<TagUdpOpen>);
  r.Register("UdpClose(", &BuildStatement<TagUdpClose>);
  r.Register("UdpSend(", &BuildStatement<TagUdpSend>);
  r.Register("UdpRecv(", &BuildStatement<TagUdpRecv>);
  r.Register("UdpTest(", &BuildStatement<TagUdpTest>);
}

}  // namespace services

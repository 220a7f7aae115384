#include "services/net/tcp_statements.h"

#include <cerrno>
#include <string>

#include "engine/arguments.h"
#include "engine/script_store.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "frame/tcp_socket.h"
#include "platform/socket.h"
#include "services/net/connect.h"
#include "services/net/socket_results.h"
#include "services/net/socket_set.h"

namespace services {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

// The result of a statement given a handle that no statement opened.
constexpr int32_t kNotOpen = -1;
// "TcpOpen(" keeps this in the handle variable until a connection is made.
constexpr int32_t kOpenNoHandle = -2;
// "TcpRead(" reads at most this many bytes into a value without a string.
constexpr int kTcpReadScratch = 5119;

unsigned Hex(int32_t handle) { return static_cast<unsigned>(handle); }

// The base of the statements: the line's arguments and the compiling
// script, for its socket set.
class TcpStatement : public engine::ArgsStatement {
 public:
  explicit TcpStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  SocketSet* Set() const { return SocketSetOf(script_); }
  // A lease on the TCP socket of a handle that any line opened, or null.
  static SocketLease SocketOf(int32_t handle) { return LeaseSocket(handle, SocketKind::kTcp); }

  TagTelBasic* const script_ = Compiling();
};

// "TcpOpen(" (host, port, seconds, handle variable).
class TagTcpOpen : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    handle_->AssignInt(kOpenNoHandle);
    SocketSet* set = Set();
    int socket = -1;
    int32_t result = set != nullptr ? TcpConnect(script_, &socket, ArgText(*host_),
                                                 ArgInt(*port_), ArgInt(*seconds_))
                                    : frame::kTcpNoSocket;
    if (result == 0) result = set->Add(socket);
    if (result < 0) {
      frame::LogMsg("TagTcpOpen: Err");
      return result;
    }
    handle_->AssignInt(result);
    frame::LogMsgF("TagTcpOpen: hd=0x%x).", Hex(result));
    return result;
  }

 private:
  TagVar *host_ = &Argument(0), *port_ = &Argument(1), *seconds_ = &Argument(2),
         *handle_ = &Argument(3);
};

// "TcpServer(" (port, backlog, handle variable).
class TagTcpServer : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    SocketSet* set = Set();
    const int32_t backlog = ArgInt(*backlog_);
    int socket = -1;
    int32_t result = -1;
    if (set != nullptr && frame::InitTcp(ArgInt(*port_), &socket, backlog > 0 ? backlog : 1) == 0) {
      result = set->Add(socket);
    }
    handle_->AssignInt(result < 0 ? -1 : result);
    return result < 0 ? -1 : result;
  }

 private:
  TagVar *port_ = &Argument(0), *backlog_ = &Argument(1), *handle_ = &Argument(2);
};

// "TcpAccept(" (listening handle, new-handle variable, address variable):
// never waits for a connection.
class TagTcpAccept : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    const int32_t result = Accept();
    handle_->AssignInt(result);
    return result;
  }

 private:
  int32_t Accept() {
    const SocketLease listening = SocketOf(ArgStoredInt(*listening_));
    if (listening == nullptr || frame::TcpCanRead(listening->socket()) <= 0) return -1;
    frame::WriteRawLog("TcpAccept: IsRemoteAns()>0.");
    char address[frame::kTcpAddressRoom];
    const int socket = frame::TcpAcceptClient(listening->socket(), address);
    if (socket < 0) return -1;
    const int32_t handle = Set()->Add(socket);
    if (handle < 0) return -1;
    address_->AssignString(address);
    return handle;
  }

  TagVar *listening_ = &Argument(0), *handle_ = &Argument(1), *address_ = &Argument(2);
};

// "TcpClose(" (handle variable): 0, also for a socket another line opened;
// -1 for a handle that names no open socket.
class TagTcpClose : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    const int32_t handle = ArgStoredInt(*handle_);
    frame::LogMsgF("TcpClose(0x%x)", Hex(handle));
    const bool closed = RemoveSocket(handle, SocketKind::kTcp);
    handle_->AssignInt(-1);
    return closed ? 0 : kNotOpen;
  }

 private:
  TagVar* handle_ = &Argument(0);
};

// "TcpCloseAll(".
class TagTcpCloseAll : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    if (SocketSet* set = Set()) set->CloseAllOf(SocketKind::kTcp);
    return 0;
  }
};

// "TcpWrite(" (handle, data, length, sent-count variable): one send.
class TagTcpWrite : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    if (data_->kind != engine::kVarString) return kTcpBadArgument;
    const std::string_view bytes = data_->Bytes();
    // The terminating zero byte may be sent as the last byte.
    const int64_t most = static_cast<int64_t>(bytes.size()) + 1;
    int64_t length = ArgInt(*length_);
    if (length > most) return kTcpBadArgument;
    if (length <= 0) length = static_cast<int64_t>(bytes.size());
    const int32_t handle = ArgStoredInt(*handle_);
    const SocketLease socket = SocketOf(handle);
    int32_t result = kNotOpen;
    if (socket != nullptr) {
      frame::LogMsgF("TcpWrite(hd=0x%x, len=%d)...", Hex(handle), static_cast<int>(length));
      result = static_cast<int32_t>(
          platform::SendSome(socket->socket(), data_->text(), static_cast<size_t>(length)));
      frame::LogMsgF("TcpWrite(): %d", result);
    }
    sent_->AssignInt(result);
    return result;
  }

 private:
  TagVar *handle_ = &Argument(0), *data_ = &Argument(1), *length_ = &Argument(2),
         *sent_ = &Argument(3);
};

// "TcpRead(" (handle, buffer variable, length variable): one receive; a
// buffer holding a string is read into in place, at most its length.
class TagTcpRead : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    if (buffer_->readOnly != 0) return kTcpBadArgument;
    const int32_t handle = ArgStoredInt(*handle_);
    const SocketLease socket = SocketOf(handle);
    const int32_t result = socket != nullptr ? Receive(*socket, handle) : kNotOpen;
    length_->AssignInt(result);
    return result;
  }

 private:
  int32_t Receive(const OpenSocket& socket, int32_t handle) {
    const size_t in_place = buffer_->Bytes().size();
    char scratch[kTcpReadScratch];
    char* into = in_place > 0 ? buffer_->MutableText() : scratch;
    const size_t size = in_place > 0 ? in_place : sizeof scratch;
    frame::LogMsgF("TcpRead(hd=0x%x, size=%d)...", Hex(handle), static_cast<int>(size));
    // The line's stop ends a wait on another line's socket as a close
    // of the peer would.
    const long got = WaitReadableOrStop(script_, socket)
                         ? platform::ReceiveSome(socket.socket(), into, size)
                         : 0;
    const int error = got < 0 ? errno : 0;
    frame::LogMsgF("TcpRead(): %d", static_cast<int>(got));
    if (got < 1) {
      frame::LogMsgF("WSAGetLastError(): %d", error);
    } else if (in_place > 0) {
      buffer_->SetLength(static_cast<size_t>(got));
    } else {
      buffer_->SetBytes(scratch, static_cast<size_t>(got));
    }
    return static_cast<int32_t>(got);
  }

  TagVar *handle_ = &Argument(0), *buffer_ = &Argument(1), *length_ = &Argument(2);
};

// "TcpTest(" (handle, result variable): never waits.
class TagTcpTest : public TcpStatement {
 public:
  using TcpStatement::TcpStatement;
  int32_t Execute() override {
    const int32_t handle = ArgStoredInt(*handle_);
    const SocketLease socket = SocketOf(handle);
    const int32_t result = socket != nullptr ? frame::TcpCanRead(socket->socket()) : kNotOpen;
    result_->AssignInt(result);
    if (result < 0) frame::LogMsgF("TcpTest(hd=0x%x): %d", Hex(handle), result);
    return result;
  }

 private:
  TagVar *handle_ = &Argument(0), *result_ = &Argument(1);
};

}  // namespace

void RegisterTcpStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kSockets, &NewSocketSet);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("TcpOpen(", &BuildStatement<TagTcpOpen>);
  r.Register("TcpServer(", &BuildStatement<TagTcpServer>);
  r.Register("TcpAccept(", &BuildStatement<TagTcpAccept>);
  r.Register("TcpClose(", &BuildStatement<TagTcpClose>);
  r.Register("TcpCloseAll(", &BuildStatement<TagTcpCloseAll>);
  r.Register("TcpWrite(", &BuildStatement<TagTcpWrite>);
  r.Register("TcpRead(", &BuildStatement<TagTcpRead>);
  r.Register("TcpTest(", &BuildStatement<TagTcpTest>);
}

}  // namespace services

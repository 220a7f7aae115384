#include "services/interline/inter_line_call.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/arguments.h"
#include "engine/line_call.h"
#include "engine/script_control.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "services/interline/line_messages.h"
#include "services/interline/process_queues.h"

namespace services {

using engine::ArgInt;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

// The caller's poll of its reply queue.
constexpr uint32_t kInterLinePollMs = 75;
// The parameters that travel in a request (fields 1..19).
constexpr int32_t kInterLineParams = 19;

// Results of "InterLineCall(".
constexpr int32_t kCallOutsideFunction = -1;
constexpr int32_t kCallBadQueue = -2;
constexpr int32_t kCallFailed = -3;
constexpr int32_t kCallTimeout = -4;

// Statuses of a reply (field 0).
constexpr int32_t kReplyDone = 0;
constexpr int32_t kReplyWrongParams = -2;
constexpr int32_t kReplyNoFunction = -3;

bool InServerRange(int32_t queue) { return queue >= 0 && queue < kMsgQueues; }

// The parameters of a function that travel in a request.
int32_t TravellingParams(int32_t params) { return std::min(params, kInterLineParams); }

// "InterLineCall(" (server queue, seconds, copy-back flag, out result).
class TagInterLineCall : public engine::ArgsStatement {
 public:
  explicit TagInterLineCall(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    TagTelBasic* function = Compiling();
    if (function == nullptr || function->GetRunContext() == function) return kCallOutsideFunction;
    const int32_t queue = ArgInt(Argument(0));
    if (!InServerRange(queue)) return kCallBadQueue;
    LineMessages* own = MessagesOf(function);
    if (own == nullptr) return kCallFailed;
    TagMsgFields& m = own->current();
    BuildRequest(*function, m);
    own->Queue(kReplyQueue).Clear();
    TagMsgList& server = ServerQueue(queue);
    const int32_t sent = server.Send(m);
    const int32_t line = m.sender;
    const int32_t seconds = ArgInt(Argument(1));
    if (seconds == 0) return 0;
    if (!WaitReply(*function, own->Queue(kReplyQueue), static_cast<uint32_t>(seconds), m)) {
      server.ClearFrom(line);
      return kCallTimeout;
    }
    if (m.fields[0].GetInt() < 0) return kCallFailed;
    Argument(3).Assign(m.type);
    if (ArgInt(Argument(2)) != 0) {
      const int32_t n = TravellingParams(function->paramCount);
      for (int32_t j = 0; j < n; ++j) function->params[j].Assign(m.fields[j + 1]);
    }
    return sent;
  }

 private:
  void BuildRequest(TagTelBasic& function, TagMsgFields& m) const {
    m.sender = function.GetRunContext()->lineNo;
    m.type.AssignString(function.name);
    m.fields[0].Assign(Argument(2));
    const int32_t n = TravellingParams(function.paramCount);
    for (int32_t j = 0; j < n; ++j) m.fields[j + 1].Assign(function.params[j]);
    m.SetCount(function.paramCount + 1);
  }

  // Polls the reply queue into m until a reply comes (true), the limit
  // (seconds x 1000 as an unsigned 32-bit count of milliseconds) has
  // passed or the line is stopping (false).
  static bool WaitReply(TagTelBasic& function, TagMsgList& replies, uint32_t seconds,
                        TagMsgFields& m) {
    platform::Clock& clock = platform::GetClock();
    const uint32_t start = clock.TickCount();
    const uint32_t limit = seconds * 1000u;
    for (;;) {
      if (function.LineStopping()) return false;
      if (replies.Recv(m)) return true;
      if (clock.TickCount() - start > limit) return false;
      clock.Sleep(kInterLinePollMs);
    }
  }
};

// The argument values of a call made for a request: copies of fields
// 1..n, which give their map references back when they go.
class CallArguments {
 public:
  CallArguments(const TagMsgFields& m, int32_t n) {
    for (int32_t j = 0; j < n; ++j) {
      values_.push_back(std::make_unique<TagVar>());
      values_.back()->Assign(m.fields[j + 1]);
      pointers_.push_back(values_.back().get());
    }
  }
  ~CallArguments() {
    for (auto& v : values_) {
      if (v->kind == engine::kVarMap) v->ReleaseMap();
    }
  }
  CallArguments(const CallArguments&) = delete;
  CallArguments& operator=(const CallArguments&) = delete;

  const std::vector<TagVar*>& pointers() const { return pointers_; }

 private:
  std::vector<std::unique_ptr<TagVar>> values_;
  std::vector<TagVar*> pointers_;
};

// "InterLineServer(" (server queue).
class TagInterLineServer : public engine::ArgsStatement {
 public:
  explicit TagInterLineServer(const StatementBuild& b) : ArgsStatement(b) {
    if (Compiling() != nullptr) Compiling()->GetRunContext()->SetPruneFunctions(0);
  }
  int32_t Execute() override {
    const int32_t queue = ArgInt(Argument(0));
    if (!InServerRange(queue)) return kMsgBadQueue;
    TagTelBasic* context = Compiling() != nullptr ? Compiling()->GetRunContext() : nullptr;
    LineMessages* own = MessagesOf(context);
    if (own == nullptr) return 0;
    TagMsgFields& m = own->current();
    if (!ServerQueue(queue).Recv(m)) return 0;
    // The reply goes to the request's sender, whatever the function does to
    // the current message.
    const int32_t sender = m.sender;
    const int32_t status = Serve(*context, m);
    m.fields[0].AssignInt(status);
    if (sender < 0 || sender >= engine::LinesCount()) return kMsgBadLine;
    const std::shared_ptr<LineMessages> caller = LineMessagesOf(sender);
    if (caller == nullptr) return kMsgNoScript;
    if (status < 0) m.SetCount(1);
    caller->Queue(kReplyQueue).Send(m);
    return 1;
  }

 private:
  // Runs the requested function on m's arguments: the reply status; m
  // becomes the reply.
  int32_t Serve(TagTelBasic& context, TagMsgFields& m) {
    TagTelBasic* function = nullptr;
    if (context.FindFunction(m.type.text(), &function) < 0 || function == nullptr) {
      return kReplyNoFunction;
    }
    const int32_t n = m.count - 1;
    if (function->paramCount != n) return kReplyWrongParams;
    const bool copy_back = m.fields[0].GetInt() != 0;
    CallArguments args(m, n);
    TagVar callee;
    callee.InitFunction(function->name, "", function, 1);
    engine::TagCall call(&callee, &context, args.pointers());
    call.lineNumber = lineNumber;
    call.sourceText = sourceText;
    const int32_t result = call.Execute();
    m.type.AssignInt(result);
    if (copy_back) {
      for (int32_t j = 0; j < n; ++j) m.fields[j + 1].Assign(*args.pointers()[j]);
    } else {
      m.SetCount(1);
    }
    return kReplyDone;
  }
};

}  // namespace

void RegisterInterLineStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("InterLineCall(", &BuildStatement<TagInterLineCall>);
  r.Register("InterLineServer(", &BuildStatement<TagInterLineServer>);
}

}  // namespace services

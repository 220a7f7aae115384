#include "services/interline/message_statements.h"

#include <cstdint>
#include <memory>
#include <string>

#include "engine/arguments.h"
#include "engine/line_call.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "services/interline/current_msg_statement.h"
#include "services/interline/process_queues.h"

namespace services {

using engine::ArgInt;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

namespace {

// The base of the statements: the line's arguments and the run context's
// message store.
class MsgStatement : public CurrentMsgStatement {
 public:
  explicit MsgStatement(const StatementBuild& b) : CurrentMsgStatement(b) {}

 protected:
  // The queue named by the first two arguments (line, queue).
  MsgQueueRef Target() const { return FindMsgQueue(ArgInt(Argument(0)), ArgInt(Argument(1))); }
};

// "SendMsg(" (line, queue, type, field count).
class TagSendMsg : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    TagMsgFields& m = Current();
    m.sender = OwnLine();
    m.type.Assign(Argument(2));
    m.SetCount(ArgInt(Argument(3)));
    const MsgQueueRef ref = Target();
    return ref.queue != nullptr ? ref.queue->Send(m) : ref.error;
  }
};

// The receiving statements: out got = 0, the take into the current message,
// then the out-arguments of what was taken.
class RecvStatement : public MsgStatement {
 protected:
  // first_out: the index of the sender out-argument; with_type: whether the
  // type is given back (not by "RecvMsgForType(").
  RecvStatement(const StatementBuild& b, size_t first_out, bool with_type)
      : MsgStatement(b), first_out_(first_out), with_type_(with_type) {}
  virtual bool Take(TagMsgList& queue, TagMsgFields& into) = 0;

 public:
  int32_t Execute() final {
    size_t out = first_out_;
    TagVar& sender = Argument(out++);
    TagVar* type = with_type_ ? &Argument(out++) : nullptr;
    TagVar& field0 = Argument(out++);
    TagVar& count = Argument(out++);
    TagVar& got = Argument(out);
    got.AssignInt(0);
    const MsgQueueRef ref = Target();
    if (ref.queue == nullptr) return ref.error;
    TagMsgFields& m = Current();
    if (!Take(*ref.queue, m)) return 0;
    sender.AssignInt(m.sender);
    if (type != nullptr) type->Assign(m.type);
    field0.Assign(m.fields[0]);
    count.AssignInt(m.count);
    got.AssignInt(1);
    return 1;
  }

 private:
  size_t first_out_;
  bool with_type_;
};

// "RecvMsg(" (line, queue, out sender, out type, out field 0, out count, out got).
class TagRecvMsg : public RecvStatement {
 public:
  explicit TagRecvMsg(const StatementBuild& b) : RecvStatement(b, 2, true) {}
  bool Take(TagMsgList& q, TagMsgFields& into) override { return q.Recv(into); }
};

// "RecvMsgForType(" (line, queue, type, out sender, out field 0, out count, out got).
class TagRecvMsgForType : public RecvStatement {
 public:
  explicit TagRecvMsgForType(const StatementBuild& b) : RecvStatement(b, 3, false) {}
  bool Take(TagMsgList& q, TagMsgFields& into) override {
    return q.RecvForType(Argument(2), into);
  }
};

// "RecvMsgForField(" (line, queue, field index, value, out sender, out type,
// out field 0, out count, out got).
class TagRecvMsgForField : public RecvStatement {
 public:
  explicit TagRecvMsgForField(const StatementBuild& b) : RecvStatement(b, 4, true) {}
  bool Take(TagMsgList& q, TagMsgFields& into) override {
    return q.RecvForField(ArgInt(Argument(2)), Argument(3), into);
  }
};

// "RecvMsgFor2Field(" (line, queue, index 1, value 1, or flag, index 2,
// value 2, out sender, out type, out field 0, out count, out got).
class TagRecvMsgFor2Field : public RecvStatement {
 public:
  explicit TagRecvMsgFor2Field(const StatementBuild& b) : RecvStatement(b, 7, true) {}
  bool Take(TagMsgList& q, TagMsgFields& into) override {
    return q.RecvFor2Field(ArgInt(Argument(2)), Argument(3), ArgInt(Argument(4)),
                           ArgInt(Argument(5)), Argument(6), into);
  }
};

// Without an out-argument.
constexpr size_t kNoOut = SIZE_MAX;

// What a query statement asks of its queue, from the statement's arguments.
using Ask = int32_t (*)(const engine::ArgsStatement& s, TagMsgList& queue);

// A statement that asks one thing of the addressed queue and gives the
// answer; with an out-argument (index Out) the answer is also written there.
template <Ask ask, size_t Out>
class QueueQuery : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    const MsgQueueRef ref = Target();
    if (ref.queue == nullptr) return ref.error;
    const int32_t result = ask(*this, *ref.queue);
    if constexpr (Out != kNoOut) Argument(Out).AssignInt(result);
    return result;
  }
};

int32_t IntAt(const engine::ArgsStatement& s, size_t i) { return ArgInt(s.Argument(i)); }

// "ClearMsg(" (line, queue).
int32_t AskClear(const engine::ArgsStatement&, TagMsgList& q) { return q.Clear(); }
// "ClearMsgFrom(" (line, queue, sender line).
int32_t AskClearFrom(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.ClearFrom(IntAt(s, 2));
}
// "ClearMsgForType(" (line, queue, type).
int32_t AskClearForType(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.ClearForType(s.Argument(2));
}
// "ClearMsgForField(" (line, queue, field index, value).
int32_t AskClearForField(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.ClearForField(IntAt(s, 2), s.Argument(3));
}
// "GetMsgNum(" (line, queue, out count).
int32_t AskNum(const engine::ArgsStatement&, TagMsgList& q) { return q.GetMsgNum(); }
// "GetMsgNumForType(" (line, queue, type, out count).
int32_t AskNumForType(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.CountForType(s.Argument(2));
}
// "GetMsgNumForField(" (line, queue, field index, value, out count).
int32_t AskNumForField(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.CountForField(IntAt(s, 2), s.Argument(3));
}
// "CountMsg(" (line, queue, selector, dictionary variable).
int32_t AskCount(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.CountMsg(IntAt(s, 2), s.Argument(3));
}
// "WriteMsg(" (line, queue, selector, value, field index, new value).
int32_t AskWrite(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.WriteMsg(IntAt(s, 2), s.Argument(3), IntAt(s, 4), s.Argument(5));
}
// "SetMsgOrderBy(" (line, queue, column, direction).
int32_t AskOrderBy(const engine::ArgsStatement& s, TagMsgList& q) {
  return q.SetOrderBy(IntAt(s, 2), IntAt(s, 3));
}

// "ReadMsg(" (line, queue, selector, value, out sender, out type).
class TagReadMsg : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    const MsgQueueRef ref = Target();
    if (ref.queue == nullptr) return ref.error;
    TagMsgFields& m = Current();
    if (!ref.queue->ReadMsg(ArgInt(Argument(2)), Argument(3), m)) return 0;
    Argument(4).AssignInt(m.sender);
    Argument(5).Assign(m.type);
    return 1;
  }
};

// "ReadMsgFor(" (line, queue, match selector, match value, output selector,
// out text).
class TagReadMsgFor : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    const MsgQueueRef ref = Target();
    if (ref.queue == nullptr) return ref.error;
    std::string text;
    const int32_t matched =
        ref.queue->ReadFor(ArgInt(Argument(2)), Argument(3), ArgInt(Argument(4)), &text);
    if (matched > 0) Argument(5).AssignString(text);
    return matched;
  }
};

// "SetMsgField(" (field index, value).
class TagSetMsgField : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    return Current().SetField(ArgInt(Argument(0)), Argument(1)) ? 0 : -1;
  }
};

// "GetMsgField(" (field index, out value).
class TagGetMsgField : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    return Current().GetField(ArgInt(Argument(0)), Argument(1)) ? 0 : -1;
  }
};

// "GetMsgFieldVal(" (field index): the field's value (NULL for an index
// outside 0..19) into the assignment target.
class TagGetMsgFieldVal : public MsgStatement {
 public:
  using MsgStatement::MsgStatement;
  int32_t Execute() override {
    TagVar value;
    Current().GetField(ArgInt(Argument(0)), value);
    StoreResult(value);
    if (value.kind == engine::kVarMap) value.ReleaseMap();
    return 0;
  }
};

}  // namespace

void RegisterMessageStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kMessages, &NewLineMessages);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("SendMsg(", &BuildStatement<TagSendMsg>);
  r.Register("RecvMsg(", &BuildStatement<TagRecvMsg>);
  r.Register("RecvMsgForType(", &BuildStatement<TagRecvMsgForType>);
  r.Register("RecvMsgForField(", &BuildStatement<TagRecvMsgForField>);
  r.Register("RecvMsgFor2Field(", &BuildStatement<TagRecvMsgFor2Field>);
  r.Register("ClearMsg(", &BuildStatement<QueueQuery<AskClear, kNoOut>>);
  r.Register("ClearMsgFrom(", &BuildStatement<QueueQuery<AskClearFrom, kNoOut>>);
  r.Register("ClearMsgForType(", &BuildStatement<QueueQuery<AskClearForType, kNoOut>>);
  r.Register("ClearMsgForField(", &BuildStatement<QueueQuery<AskClearForField, kNoOut>>);
  r.Register("GetMsgNum(", &BuildStatement<QueueQuery<AskNum, 2>>);
  r.Register("GetMsgNumForType(", &BuildStatement<QueueQuery<AskNumForType, 3>>);
  r.Register("GetMsgNumForField(", &BuildStatement<QueueQuery<AskNumForField, 4>>);
  r.Register("CountMsg(", &BuildStatement<QueueQuery<AskCount, kNoOut>>);
  r.Register("WriteMsg(", &BuildStatement<QueueQuery<AskWrite, kNoOut>>);
  r.Register("SetMsgOrderBy(", &BuildStatement<QueueQuery<AskOrderBy, kNoOut>>);
  r.Register("ReadMsg(", &BuildStatement<TagReadMsg>);
  r.Register("ReadMsgFor(", &BuildStatement<TagReadMsgFor>);
  r.Register("SetMsgField(", &BuildStatement<TagSetMsgField>);
  r.Register("GetMsgField(", &BuildStatement<TagGetMsgField>);
  r.Register("GetMsgFieldVal(", &BuildStatement<TagGetMsgFieldVal>);
}

}  // namespace services

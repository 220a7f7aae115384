#include "services/interline/acd_statements.h"

#include <string>

#include "engine/arguments.h"
#include "services/interline/current_msg_statement.h"
#include "services/interline/process_queues.h"

namespace services {
namespace {

using engine::ArgInt;
using engine::BuildStatement;
using engine::StatementBuild;

// "AcdListSend(" (group, field count): the current message, with its count
// set to the field count (0..20; sender and type as they are), filed into
// the group; the group's message count.
class TagAcdListSend : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override {
    TagMsgFields& m = Current();
    m.SetCount(ArgInt(Argument(1)));
    return AcdList().Send(Argument(0).ToText(), m);
  }
};

// "AcdListNum(" (group).
class TagAcdListNum : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override { return AcdList().Num(Argument(0).ToText()); }
};

// "AcdListRead(" (): the field count of the message read into the current
// message, 0 when none.
class TagAcdListRead : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override {
    TagMsgFields& m = Current();
    return AcdList().Read(OwnLine(), m) != 0 ? m.count : 0;
  }
};

// "AcdListRecv(" (field index, value): the field count of the message
// received into the current message, 0 when none.
class TagAcdListRecv : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override {
    TagMsgFields& m = Current();
    return AcdList().Recv(OwnLine(), ArgInt(Argument(0)), Argument(1), m) != 0 ? m.count : 0;
  }
};

// "AcdListClear(" (field index, value): 1 or 0.
class TagAcdListClear : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override { return AcdList().Clear(ArgInt(Argument(0)), Argument(1)); }
};

// "AcdListWrite(" (selector, value, field index, new value): 1 or 0.
class TagAcdListWrite : public CurrentMsgStatement {
 public:
  using CurrentMsgStatement::CurrentMsgStatement;
  int32_t Execute() override {
    return AcdList().Write(ArgInt(Argument(0)), Argument(1), ArgInt(Argument(2)), Argument(3));
  }
};

}  // namespace

void RegisterAcdStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("AcdListSend(", &BuildStatement<TagAcdListSend>);
  r.Register("AcdListNum(", &BuildStatement<TagAcdListNum>);
  r.Register("AcdListRead(", &BuildStatement<TagAcdListRead>);
  r.Register("AcdListRecv(", &BuildStatement<TagAcdListRecv>);
  r.Register("AcdListClear(", &BuildStatement<TagAcdListClear>);
  r.Register("AcdListWrite(", &BuildStatement<TagAcdListWrite>);
}

}  // namespace services

#include "services/interline/share_mem_statements.h"

#include "engine/arguments.h"
#include "engine/script_store.h"
#include "engine/statement_args.h"
#include "services/interline/line_share_mem.h"

namespace services {

using engine::ArgInt;
using engine::ArgsStatement;
using engine::BuildStatement;
using engine::StatementBuild;

namespace {

// What a statement does on the store its first argument names.
using StoreOp = int32_t (*)(TagShareMem& store, const ArgsStatement& s);

template <StoreOp op>
class ShareMemStatement : public ArgsStatement {
 public:
  explicit ShareMemStatement(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const ShareMemRef ref = ShareMemOfLine(ArgInt(Argument(0)));
    return ref.store != nullptr ? op(*ref.store, *this) : kShareMemBadLine;
  }
};

// "GetShareMem(" (line, key, out value).
int32_t OpGet(TagShareMem& m, const ArgsStatement& s) {
  return m.Get(s.Argument(1), s.Argument(2));
}
// "SetShareMem(" (line, key, value).
int32_t OpSet(TagShareMem& m, const ArgsStatement& s) {
  return m.Set(s.Argument(1), s.Argument(2));
}
// "ClearShareMem(" (line).
int32_t OpClear(TagShareMem& m, const ArgsStatement&) { return m.Clear(); }
// "IncShareMem(" (line, key, operand, out value).
int32_t OpInc(TagShareMem& m, const ArgsStatement& s) {
  return m.Inc(s.Argument(1), s.Argument(2), s.Argument(3));
}
// "DecShareMem(" (line, key, operand, out value).
int32_t OpDec(TagShareMem& m, const ArgsStatement& s) {
  return m.Dec(s.Argument(1), s.Argument(2), s.Argument(3));
}
// "AccShareMem(" (line, key, out old value, new value).
int32_t OpExchange(TagShareMem& m, const ArgsStatement& s) {
  return m.Exchange(s.Argument(1), s.Argument(2), s.Argument(3));
}

// "FindShareMem(" (key, value, new value).
class TagFindShareMem : public ArgsStatement {
 public:
  explicit TagFindShareMem(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override { return FindAndClaim(Argument(0), Argument(1), Argument(2)); }
};

}  // namespace

void RegisterShareMemStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kShareMem, &NewShareMem);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("GetShareMem(", &BuildStatement<ShareMemStatement<OpGet>>);
  r.Register("SetShareMem(", &BuildStatement<ShareMemStatement<OpSet>>);
  r.Register("ClearShareMem(", &BuildStatement<ShareMemStatement<OpClear>>);
  r.Register("IncShareMem(", &BuildStatement<ShareMemStatement<OpInc>>);
  r.Register("DecShareMem(", &BuildStatement<ShareMemStatement<OpDec>>);
  r.Register("AccShareMem(", &BuildStatement<ShareMemStatement<OpExchange>>);
  r.Register("FindShareMem(", &BuildStatement<TagFindShareMem>);
}

}  // namespace services

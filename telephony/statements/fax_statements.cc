#include "telephony/statements/fax_statements.h"

#include <cstdint>

#include "engine/arguments.h"
#include "engine/tag_var.h"
#include "telephony/fax/text_fax.h"
#include "telephony/statements/line_statement.h"
#include "telephony/vt_call.h"

namespace telephony {

namespace {

using engine::ArgText;
using Call = TagVtCall;
using Line = LineStatement;

// "GetFaxResource(" (total variable, busy variable): both preset 0.
int32_t GetFaxResource(Call& c, const Line& s) {
  int32_t total = 0, busy = 0;
  c.GetFaxResource(total, busy);
  s.Argument(0).AssignInt(total);
  s.Argument(1).AssignInt(busy);
  return 0;
}

// "Txt2FaxFile(" (text file, fax file, directory of the code table and the
// fonts): the conversion's status.
class TagTxt2FaxFile final : public engine::ArgsStatement {
 public:
  explicit TagTxt2FaxFile(const engine::StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    return TagTxtCvtFax(ArgText(Argument(2)), ArgText(Argument(0)), ArgText(Argument(1))).status();
  }
};

}  // namespace

void RegisterFaxStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("SetFaxLocalId(", &CallOperation<[](Call& c, const Line& s) {
    c.SetFaxLocalId(ArgText(s.Argument(0)));
    return 0;
  }>::Build);
  r.Register("GetFaxResource(", &CallOperation<GetFaxResource>::Build);
  r.Register("SendFax(", &CallOperation<[](Call& c, const Line& s) {
    return c.SendFax(ArgText(s.Argument(0)));
  }>::Build);
  r.Register("RecvFax(", &CallOperation<[](Call& c, const Line& s) {
    return c.RecvFax(ArgText(s.Argument(0)));
  }>::Build);
  r.Register("Txt2FaxFile(", &engine::BuildStatement<TagTxt2FaxFile>);
}

}  // namespace telephony

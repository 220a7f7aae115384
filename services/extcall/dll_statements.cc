#include "services/extcall/dll_statements.h"

#include <string>

#include "engine/arguments.h"
#include "engine/script_store.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "services/extcall/dll_call.h"
#include "services/extcall/dll_store.h"

namespace services {

using engine::StatementBuild;
using engine::TagTelBasic;
using engine::TagVar;

namespace {

constexpr char kNegativeCountWarning[] =
    "外部函数声明的参数个数小于0: 调用该函数的语句不带参数, 总是返回-1";

class DllStatement : public engine::ArgsStatement {
 public:
  explicit DllStatement(const StatementBuild& b) : ArgsStatement(b) {}

 protected:
  TagVtDll* Dlls() const { return DllsOf(Compiling()); }
};

// "DllLoad(" (file, slot variable): the slot, -1 or -2, also into the
// variable.
class TagDllLoad : public DllStatement {
 public:
  using DllStatement::DllStatement;
  int32_t Execute() override {
    TagVtDll* dlls = Dlls();
    const int32_t slot = dlls != nullptr ? dlls->Load(engine::ArgText(*file_)) : TagVtDll::kLoadFailed;
    return engine::StoreInt(*slot_, slot);
  }

 private:
  TagVar *file_ = &Argument(0), *slot_ = &Argument(1);
};

// "DllFunction(" (slot, name, count): declared while the script compiles
// (with the name and count as they stand), bound when it runs.
class TagDllFunction : public DllStatement {
 public:
  using DllStatement::DllStatement;
  int32_t Execute() override {
    if (TagVtDll* dlls = Dlls()) dlls->BindFunc(engine::ArgInt(*slot_), engine::ArgText(*name_), engine::ArgInt(*count_));
    return 0;
  }

 private:
  TagVar *slot_ = &Argument(0), *name_ = &Argument(1), *count_ = &Argument(2);
};

engine::TagOper* BuildDllFunction(const StatementBuild& build, std::string* error) {
  if (build.script != nullptr) {
    const std::string name = engine::ArgText(*engine::Arg(build, 1));
    const int32_t count = engine::ArgInt(*engine::Arg(build, 2));
    TagVtDll* dlls = CompilingDllsOf(*build.script);
    if (dlls != nullptr && !name.empty() && dlls->DeclareName(name, count) == 0 && count < 0) {
      build.script->Warning(build.line, kNegativeCountWarning, build.source);
    }
  }
  return engine::BuildStatement<TagDllFunction>(build, error);
}

// "DllFree(" (slot), and "DllFreeAll(" (no arguments): every slot.
class TagDllFree : public DllStatement {
 public:
  TagDllFree(const StatementBuild& b, bool all) : DllStatement(b), all_(all) {}
  int32_t Execute() override {
    TagVtDll* dlls = Dlls();
    if (dlls != nullptr && all_) dlls->FreeAll();
    if (dlls != nullptr && !all_) dlls->Free(engine::ArgInt(Argument(0)));
    return 0;
  }

 private:
  const bool all_;
};

engine::TagOper* BuildDllFree(const StatementBuild& build, std::string*) {
  return new TagDllFree(build, false);
}

engine::TagOper* BuildDllFreeAll(const StatementBuild& build, std::string*) {
  return new TagDllFree(build, true);
}

bool DeclaredCall(TagTelBasic& script, std::string_view name, int32_t* count) {
  const TagVtDll* dlls = CompilingDllsOf(script);
  return dlls != nullptr && dlls->FindDeclaredName(name, count) >= 0;
}

engine::TagOper* BuildDllCall(TagTelBasic& script, std::string_view name,
                              const std::vector<TagVar*>& args, std::string*) {
  return new TagDllCall(name, &script, args);
}

}  // namespace

void RegisterDllStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kDlls, &NewVtDll);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("DllLoad(", &engine::BuildStatement<TagDllLoad>);
  r.Register("DllFunction(", &BuildDllFunction);
  r.Register("DllFree(", &BuildDllFree);
  r.Register("DllFreeAll(", &BuildDllFreeAll);
  engine::DllCallFactory calls;
  calls.Declared = &DeclaredCall;
  calls.Build = &BuildDllCall;
  engine::SetDllCallFactory(calls);
}

}  // namespace services

#include "engine/print_output.h"

#include <memory>

#include "engine/arguments.h"
#include "engine/statement_registry.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/host_path.h"
#include "platform/text_mode.h"

namespace engine {
namespace {

// "Print(" (value): a string as its text, any other value as its text form
// with strings quoted; the default file is opened first when nothing is.
class TagPrint : public TagOper {
 public:
  TagPrint(TagTelBasic* context, TagVar* value) : context_(context), value_(value) {}
  int32_t Execute() override {
    TStdOut* out = ActingPrintOutput(*context_);
    if (out == nullptr) return -1;
    const int32_t line = context_->MainScript()->lineNo;
    if (!out->IsOpen()) out->SetPrintTo(DefaultPrintFile(line));
    if (value_->kind == kVarString) return out->Print(line, ArgText(*value_));
    value_->ToText(text_, /*quote=*/true);
    return out->Print(line, text_);
  }

 private:
  TagTelBasic* context_;
  TagVar* value_;
  std::string text_;
};

// "SetPrintTo(" (target as text): "" the console, else a file; always 0.
class TagSetPrintTo : public TagOper {
 public:
  TagSetPrintTo(TagTelBasic* context, TagVar* target) : context_(context), target_(target) {}
  int32_t Execute() override {
    if (TStdOut* out = ActingPrintOutput(*context_)) out->SetPrintTo(ArgText(*target_));
    return 0;
  }

 private:
  TagTelBasic* context_;
  TagVar* target_;
};

TagOper* BuildPrint(const StatementBuild& build, std::string*) {
  return new TagPrint(build.script, build.args.at(0));
}

TagOper* BuildSetPrintTo(const StatementBuild& build, std::string*) {
  return new TagSetPrintTo(build.script, build.args.at(0));
}

std::unique_ptr<ScriptStore> NewPrintOutput(TagTelBasic&) { return std::make_unique<TStdOut>(); }

}  // namespace

TStdOut::~TStdOut() { Close(); }

bool TStdOut::IsOpen() const { return mode_ == kConsole || file_ != nullptr; }

int32_t TStdOut::Print(int32_t line_no, std::string_view text) {
  if (mode_ == kConsole) {
    std::string out = std::to_string(line_no);
    out += " : ";
    out += text;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    return 0;
  }
  if (file_ != nullptr) {
    platform::WriteTextMode(file_, text);
    std::fflush(file_);
    return 0;
  }
  frame::LogMsg2("TStdOut::Print() Err: not open.");
  return -1;
}

int32_t TStdOut::SetPrintTo(std::string_view path) {
  Close();
  if (path.empty()) {
    mode_ = kConsole;
    return 2;
  }
  mode_ = kFile;
  file_ = platform::OpenHostFile(path, "wb");
  return file_ != nullptr ? 0 : -1;
}

void TStdOut::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  mode_ = kClosed;
}

std::string DefaultPrintFile(int32_t line_no) {
  return "_stdout" + std::to_string(line_no) + ".txt";
}

TStdOut* ActingPrintOutput(TagTelBasic& script) {
  return dynamic_cast<TStdOut*>(script.GetRunContext()->store(StoreSlot::kPrint));
}

void RegisterPrintStatements() {
  RegisterStoreFactory(StoreSlot::kPrint, &NewPrintOutput);
  Statements().Register("Print(", &BuildPrint);
  Statements().Register("SetPrintTo(", &BuildSetPrintTo);
}

}  // namespace engine

#include "services/files/run_msp.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "engine/arguments.h"
#include "engine/print_output.h"
#include "engine/statement_args.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/text_mode.h"
#include "services/files/server_page.h"

namespace services {

using engine::ArgsStatement;
using engine::StatementBuild;

namespace {

// The largest page read.
constexpr int64_t kMaxPageBytes = INT32_MAX;
// Pages are read in pieces of at most this many bytes.
constexpr size_t kPageReadPiece = 1024;

enum MspResult : int32_t { kMspDone = 0, kMspOpenError = -1, kMspReadError = -2, kMspOutError = -3 };

// The page's text as a text-mode stream reads it; nullopt for an empty or
// unreadable page. *opened tells whether the page could be opened.
std::optional<std::string> ReadPage(std::string_view path, bool* opened) {
  const platform::FileBytes raw = platform::ReadScriptFile(path, kMaxPageBytes, kPageReadPiece);
  *opened = raw.opened;
  if (!raw.bytes) return std::nullopt;
  std::string text;
  platform::ReadTextMode(*raw.bytes, /*more_follows=*/false, &text);
  return text;
}

// "MspToVts(" (page file, script file, piece map variable).
class TagRunMsp : public ArgsStatement {
 public:
  explicit TagRunMsp(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const int32_t r = Convert();
    if (r != kMspDone) PrintError(r);
    return r;
  }

 private:
  int32_t Convert() {
    if (Argument(0).kind != engine::kVarString || Argument(1).kind != engine::kVarString) {
      return kMspOpenError;
    }
    bool opened = false;
    const std::optional<std::string> page = ReadPage(engine::ArgText(Argument(0)), &opened);
    if (!opened) return kMspOpenError;
    if (!page) return kMspReadError;
    FILE* out = platform::OpenHostFile(engine::ArgText(Argument(1)), "wb");
    if (out == nullptr) return kMspOutError;
    std::string script;
    std::vector<std::string> pieces;
    ConvertServerPage(*page, &script, &pieces);
    platform::WriteTextMode(out, script);
    fclose(out);
    engine::TagVar& map = Argument(2);
    for (size_t n = 0; n < pieces.size(); ++n) {
      engine::TagVar key;
      key.SetInt(static_cast<int32_t>(n));
      map.Element(key)->AssignString(pieces[n]);
    }
    return kMspDone;
  }

  void PrintError(int32_t r) {
    if (Compiling() == nullptr) return;
    engine::TStdOut* out = engine::ActingPrintOutput(*Compiling());
    if (out == nullptr) return;
    out->Print(0, r == kMspOpenError   ? "Open error"
                  : r == kMspReadError ? "Read error"
                                       : "Open Out-File error");
  }
};

}  // namespace

void RegisterMspStatement() {
  engine::Statements().Register("MspToVts(", &engine::BuildStatement<TagRunMsp>);
}

}  // namespace services

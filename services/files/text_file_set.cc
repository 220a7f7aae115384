#include "services/files/text_file_set.h"

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"

namespace services {

using engine::ArgInt;
using engine::ArgText;
using engine::ArgsStatement;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

int32_t TTextFileSet::Open(std::string_view path, std::string_view mode) {
  auto file = std::make_unique<TTextFileRead>(path, mode);
  if (!file->is_open()) return -1;
  const int32_t handle = next_++;
  files_.emplace(handle, std::move(file));
  return handle;
}

void TTextFileSet::Close(int32_t handle) { files_.erase(handle); }

void TTextFileSet::CloseAll() { files_.clear(); }

TTextFileRead* TTextFileSet::Find(int32_t handle) {
  const auto it = files_.find(handle);
  return it != files_.end() ? it->second.get() : nullptr;
}

TTextFileSet* TextFilesOf(engine::TagTelBasic* script) {
  if (script == nullptr) return nullptr;
  return dynamic_cast<TTextFileSet*>(
      script->GetRunContext()->store(engine::StoreSlot::kTextFiles));
}

namespace {

// A statement on the file of its first argument (a handle, as an integer).
class FileStatement : public ArgsStatement {
 protected:
  using ArgsStatement::ArgsStatement;
  TTextFileSet* Files() const { return TextFilesOf(Compiling()); }
  TTextFileRead* File() const {
    TTextFileSet* files = Files();
    return files != nullptr ? files->Find(ArgInt(Argument(0))) : nullptr;
  }
};

// "FileOpen(" (name as text, mode as text, handle variable).
class TagFileOpen : public FileStatement {
 public:
  explicit TagFileOpen(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    TTextFileSet* files = Files();
    const int32_t handle =
        files != nullptr ? files->Open(ArgText(Argument(0)), ArgText(Argument(1))) : -1;
    return engine::StoreInt(Argument(2), handle);
  }
};

// "FileClose(" (handle).
class TagFileClose : public FileStatement {
 public:
  explicit TagFileClose(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    if (TTextFileSet* files = Files()) files->Close(ArgInt(Argument(0)));
    return 0;
  }
};

// "FileCloseAll(".
class TagFileCloseAll : public FileStatement {
 public:
  explicit TagFileCloseAll(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    if (TTextFileSet* files = Files()) files->CloseAll();
    return 0;
  }
};

// A read into the variable of argument var_index: an unknown handle sets
// it to "" and gives 0.
template <int32_t (*Read)(TTextFileRead&, const TagVar& arg1, TagVar& var), size_t var_index>
class TagFileReadInto : public FileStatement {
 public:
  explicit TagFileReadInto(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    TagVar& var = Argument(var_index);
    TTextFileRead* file = File();
    if (file == nullptr) {
      var.AssignString("");
      return 0;
    }
    return Read(*file, Argument(1), var);
  }
};

// "FileRead(" (handle, length, variable): 0 or less reads everything.
int32_t ReadBlockOrAll(TTextFileRead& file, const TagVar& length, TagVar& var) {
  const int32_t count = ArgInt(length);
  return count <= 0 ? file.ReadAll(var) : file.ReadBlock(count, var);
}
int32_t ReadLine(TTextFileRead& file, const TagVar&, TagVar& var) { return file.ReadLine(var); }
int32_t ReadLines(TTextFileRead& file, const TagVar&, TagVar& var) { return file.ReadLines(var); }
int32_t MapLines(TTextFileRead& file, const TagVar&, TagVar& var) { return file.MapLines(var); }

using TagFileRead = TagFileReadInto<&ReadBlockOrAll, 2>;
using TagFileReadLine = TagFileReadInto<&ReadLine, 1>;
using TagFileReadLines = TagFileReadInto<&ReadLines, 1>;
using TagFileMapLines = TagFileReadInto<&MapLines, 1>;

// "FileSeek(" (handle, position): the position, 0 for an unknown handle.
class TagFileSeek : public FileStatement {
 public:
  explicit TagFileSeek(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    TTextFileRead* file = File();
    return file != nullptr ? file->Seek(ArgInt(Argument(1))) : 0;
  }
};

// "FileWrite(" (handle, value).
class TagFileWrite : public FileStatement {
 public:
  explicit TagFileWrite(const StatementBuild& b) : FileStatement(b) {}
  int32_t Execute() override {
    if (TTextFileRead* file = File()) file->Write(Argument(1));
    return 0;
  }
};

std::unique_ptr<engine::ScriptStore> NewTextFileSet(engine::TagTelBasic&) {
  return std::make_unique<TTextFileSet>();
}

}  // namespace

void RegisterTextFileStatements() {
  engine::RegisterStoreFactory(engine::StoreSlot::kTextFiles, &NewTextFileSet);
  engine::StatementRegistry& r = engine::Statements();
  r.Register("FileOpen(", &BuildStatement<TagFileOpen>);
  r.Register("FileClose(", &BuildStatement<TagFileClose>);
  r.Register("FileCloseAll(", &BuildStatement<TagFileCloseAll>);
  r.Register("FileRead(", &BuildStatement<TagFileRead>);
  r.Register("FileReadLine(", &BuildStatement<TagFileReadLine>);
  r.Register("FileReadLines(", &BuildStatement<TagFileReadLines>);
  r.Register("FileMapLines(", &BuildStatement<TagFileMapLines>);
  r.Register("FileSeek(", &BuildStatement<TagFileSeek>);
  r.Register("FileWrite(", &BuildStatement<TagFileWrite>);
}

}  // namespace services

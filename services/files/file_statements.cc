#include "services/files/file_statements.h"

#include <cstdint>
#include <string>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "frame/log.h"
#include "platform/file_ops.h"
#include "platform/file_search.h"
#include "platform/script_files.h"
#include "services/files/file_report.h"

namespace services {

using engine::ArgText;
using engine::ArgsStatement;
using engine::BuildStatement;
using engine::StatementBuild;
using engine::TagVar;

namespace {

// "GetCurWorkDir(" gives at most this many characters.
constexpr size_t kMaxWorkDirChars = 1023;
constexpr uint64_t kBytesPerMiB = 1024 * 1024;
// "FileMove(" with a target it does not know.
constexpr int32_t kMoveUnknownTarget = -4;
constexpr int32_t kMoveDelete = 0;
constexpr int32_t kMoveEmpty = 1;
// "FileCopy(" that failed.
constexpr int32_t kCopyFailed = -4;

bool IsString(const TagVar& v) { return v.kind == engine::kVarString; }

int32_t ReportedMiB(uint64_t bytes) {
  const uint64_t mib = bytes / kBytesPerMiB;
  return mib > static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(mib);
}

// "FileMove(" (name as text, target): a string moves, the integer 0
// deletes, 1 empties; anything else gives -4.
class TagFileMove : public ArgsStatement {
 public:
  explicit TagFileMove(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const char* name = ArgText(Argument(0));
    const TagVar& target = Argument(1);
    if (IsString(target)) return platform::MoveScriptFile(name, ArgText(target));
    if (target.kind != engine::kVarInt) return kMoveUnknownTarget;
    if (target.intValue == kMoveDelete) return platform::DeleteScriptFile(name);
    if (target.intValue == kMoveEmpty) return platform::EmptyScriptFile(name);
    return kMoveUnknownTarget;
  }
};

// "FileCopy(" (source as text, destination as text): 0, or -4 with the
// reason in the log. A failed copy leaves the destination as it was.
class TagFileCopy : public ArgsStatement {
 public:
  explicit TagFileCopy(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const char* from = ArgText(Argument(0));
    const char* to = ArgText(Argument(1));
    std::string why;
    if (platform::CopyScriptFile(from, to, &why)) return 0;
    frame::LogAlwaysF("FileCopy(%s, %s) failed: %s", from, to, why.c_str());
    return kCopyFailed;
  }
};

// "FileLenTime(" (name as a string, wildcards allowed; size and time
// variables): the first file in listing order.
class TagFileLenTime : public ArgsStatement {
 public:
  explicit TagFileLenTime(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    if (!IsString(Argument(0))) return -1;
    const std::vector<platform::FoundFile> found = platform::FindScriptFiles(Argument(0).Bytes());
    if (found.empty()) return -2;
    Argument(1).AssignInt(ReportedSize(found[0].size, found[0].name));
    Argument(2).AssignString(FileTimeText(found[0].modified));
    return 0;
  }
};

// "GetFileList(" (pattern as a string; name, size and time maps): the n-th
// file under the integer key n of each map that is not read-only.
class TagGetFileList : public ArgsStatement {
 public:
  explicit TagGetFileList(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    if (!IsString(Argument(0))) return -1;
    const std::vector<platform::FoundFile> found = platform::FindScriptFiles(Argument(0).Bytes());
    TagVar key;
    for (size_t n = 0; n < found.size(); ++n) {
      key.SetInt(static_cast<int32_t>(n));
      const platform::FoundFile& file = found[n];
      if (TagVar* name = Writable(1, key)) name->AssignString(file.name);
      if (TagVar* size = Writable(2, key)) size->AssignInt(ReportedSize(file.size, file.name));
      if (TagVar* time = Writable(3, key)) time->AssignString(FileTimeText(file.modified));
    }
    return static_cast<int32_t>(found.size());
  }

 private:
  // The element of key in map argument i, or null when it is read-only.
  TagVar* Writable(size_t i, const TagVar& key) const {
    TagVar& map = Argument(i);
    return map.readOnly != 0 ? nullptr : map.Element(key);
  }
};

// "IsDirExist(" (path as a string, result variable): files count too.
class TagIsDirExist : public ArgsStatement {
 public:
  explicit TagIsDirExist(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    if (!IsString(Argument(0))) return -1;
    Argument(1).AssignInt(0);
    if (!platform::ScriptFileExists(Argument(0).Bytes())) return -2;
    Argument(1).AssignInt(1);
    return 0;
  }
};

// "MakeDir(" and "RemoveDir(" (path as a string).
template <bool (*Change)(std::string_view)>
class TagDirChange : public ArgsStatement {
 public:
  explicit TagDirChange(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    return IsString(Argument(0)) && Change(Argument(0).Bytes()) ? 0 : -1;
  }
};
using TagMakeDir = TagDirChange<&platform::MakeScriptDir>;
using TagRemoveDir = TagDirChange<&platform::RemoveScriptDir>;

// "GetCurWorkDir(" (variable).
class TagGetCurWorkDir : public ArgsStatement {
 public:
  explicit TagGetCurWorkDir(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    std::string folder = platform::ScriptWorkDir();
    if (folder.size() > kMaxWorkDirChars) folder.resize(kMaxWorkDirChars);
    Argument(0).AssignString(folder);
    return 0;
  }
};

// "SetCurWorkDir(" (path as text): 0 whether or not the change worked; a
// failure is logged with its reason.
class TagSetCurWorkDir : public ArgsStatement {
 public:
  explicit TagSetCurWorkDir(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const std::string path = ArgText(Argument(0));
    frame::LogMsg("SetCurWorkDir:" + path);
    std::string why;
    if (!platform::SetScriptWorkDir(path, &why)) {
      frame::LogAlways("SetCurWorkDir(" + path + ") failed: " + why);
    }
    return 0;
  }
};

// "GetDiskSpace(" (folder as a string, "" or not a string for the current
// one; total and free variables in MiB): 1, or 0 with both 0.
class TagGetDiskSpace : public ArgsStatement {
 public:
  explicit TagGetDiskSpace(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const std::string_view folder = IsString(Argument(0)) ? Argument(0).Bytes() : "";
    const std::optional<platform::DiskSpace> space = platform::ScriptDiskSpace(folder);
    Argument(1).AssignInt(space ? ReportedMiB(space->total) : 0);
    Argument(2).AssignInt(space ? ReportedMiB(space->available) : 0);
    return space ? 1 : 0;
  }
};

}  // namespace

void RegisterFileStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("FileMove(", &BuildStatement<TagFileMove>);
  r.Register("FileCopy(", &BuildStatement<TagFileCopy>);
  r.Register("FileLenTime(", &BuildStatement<TagFileLenTime>);
  r.Register("GetFileList(", &BuildStatement<TagGetFileList>);
  r.Register("IsDirExist(", &BuildStatement<TagIsDirExist>);
  r.Register("MakeDir(", &BuildStatement<TagMakeDir>);
  r.Register("RemoveDir(", &BuildStatement<TagRemoveDir>);
  r.Register("GetCurWorkDir(", &BuildStatement<TagGetCurWorkDir>);
  r.Register("SetCurWorkDir(", &BuildStatement<TagSetCurWorkDir>);
  r.Register("GetDiskSpace(", &BuildStatement<TagGetDiskSpace>);
}

}  // namespace services

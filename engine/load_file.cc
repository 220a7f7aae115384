// LoadFile: reads one script file and hands it to the statement compiler
// one logical line at a time.
#include <cstdio>
#include <string>

#include "engine/script_cache.h"
#include "engine/tel_basic.h"
#include "frame/cpu_load.h"
#include "frame/log.h"

namespace engine {
namespace {

// Reads the next physical line of text from *pos into *out, at most room
// characters; CR, LF and CR LF end a line and are consumed. A longer line
// is cut at room and sets *too_long (its rest is skipped, not read as more
// lines). False when *pos is already at the end.
bool ReadPhysicalLine(std::string_view text, size_t* pos, std::string* out, size_t room,
                      bool* too_long) {
  out->clear();
  *too_long = false;
  if (*pos >= text.size()) return false;
  size_t i = *pos;
  while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
  const size_t length = i - *pos;
  out->assign(text.substr(*pos, length < room ? length : room));
  *too_long = length > room;
  if (i < text.size()) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    ++i;
  }
  *pos = i;
  return true;
}

// The position of a continuation '\' (the last character that is not a
// blank or tab), or npos.
size_t ContinuationMark(const std::string& line) {
  if (line.size() <= 1) return std::string::npos;
  size_t i = line.find_last_not_of(" \t");
  return i != std::string::npos && line[i] == '\\' ? i : std::string::npos;
}

}  // namespace

int32_t TagTelBasic::LoadFile(int32_t include_line, std::string_view path) {
  TagTelBasic* main = MainScript();
  for (const TagFInclude* inc : main->includes) {
    if (inc != nullptr && inc->path == path) {
      Warning(include_line, "重复包含文件", path);
      return -1;
    }
  }
  main->includes.push_back(new TagFInclude{std::string(path)});
  main->includeCount = main->includes.count();
  if (sourcePath.empty()) sourcePath.assign(path);

  std::shared_ptr<const FileBuffNode> file = ScriptCache().Get(path, runMode == 0, isChild != 0);
  if (!file) {
    ShowError(include_line, "打不开文件错误", path);
    Error(include_line, "打不开文件错误", path);
    frame::LogMsg("fBuff==NULL, 打不开文件错误");
    return -2;
  }
  if (file->scrambled) main->scrambled = 1;
  if (lineNo > 0 && runMode != 0 && !isChild) frame::WaitCpuIdle(100, 45);

  const std::string saved_path = sourcePath;
  sourcePath.assign(path);
  const std::string_view text(file->data.data(), file->data.size());
  LineCompiler compile = GetLineCompiler();
  int32_t counter = 0;
  size_t pos = 0;
  std::string line, more;
  bool too_long = false;
  while (ReadPhysicalLine(text, &pos, &line, kLineArea, &too_long)) {
    ++counter;
    bool line_too_long = too_long;
    for (size_t mark; !line_too_long && (mark = ContinuationMark(line)) != std::string::npos;) {
      line.resize(mark);
      if (!ReadPhysicalLine(text, &pos, &more, kLineArea - mark, &too_long)) break;
      ++counter;
      line.append(more);
      line_too_long = too_long;
    }
    if (line_too_long) {
      // A line longer than the line area is one error at its own number.
      Error(counter, "语法错误: 行太长", line.substr(0, 64));
      continue;
    }
    TagTelBasic* target = this;
    if (!main->compileState.functionStack.empty() && main->functionCount > 0) {
      target = main->functions.at(main->functionCount - 1);
    }
    if (compile != nullptr && compile(*target, counter, line) < 0) ++main->compileState.errorCount;
  }
  sourcePath = saved_path;
  return counter;
}

}  // namespace engine

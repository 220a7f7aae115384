#include "services/files/txt_append.h"

#include <cstdio>
#include <vector>

#include "engine/arguments.h"
#include "engine/statement_args.h"
#include "engine/tel_basic.h"
#include "platform/clock.h"
#include "platform/text_mode.h"

namespace services {

using engine::ArgInt;
using engine::ArgText;
using engine::ArgsStatement;
using engine::BuildStatement;
using engine::StatementBuild;

namespace {

// The mode from which the prefix carries the time, and the line number.
constexpr int32_t kTimeModeFrom = 2;
constexpr int32_t kLineModeFrom = 3;

platform::FileOpenMode AppendMode() {
  platform::FileOpenMode mode;
  mode.write = mode.create = mode.append = true;
  return mode;
}

// The bytes of one record, before the line-end translation.
std::string RecordText(int32_t line, std::string_view text, int32_t mode) {
  std::string record;
  if (mode >= kTimeModeFrom) {
    const platform::WallTime t = platform::GetClock().Now();
    char prefix[96];
    const int n =
        mode >= kLineModeFrom
            ? std::snprintf(prefix, sizeof prefix, "%d-%02d-%02d %02d:%02d:%02d.%03d [%d]: ",
                            t.year, t.month, t.day, t.hour, t.minute, t.second, t.millis, line)
            : std::snprintf(prefix, sizeof prefix, "%d-%02d-%02d %02d:%02d:%02d.%03d : ", t.year,
                            t.month, t.day, t.hour, t.minute, t.second, t.millis);
    record.append(prefix, static_cast<size_t>(n));
  }
  record.append(text);
  if (mode != 0) record.push_back('\n');
  return record;
}

}  // namespace

TTxtRec::TTxtRec(std::string_view path)
    : file_(platform::FileHandle::Open(path, AppendMode())),
      lastUse_(platform::GetClock().TickCount()) {}

int32_t TTxtRec::Write(int32_t line, std::string_view text, int32_t mode) {
  std::string bytes;
  platform::AppendTextMode(RecordText(line, text, mode), &bytes);
  std::lock_guard<std::mutex> lock(mu_);
  if (!file_.is_open() || !file_.WriteAll(bytes)) return -1;
  lastUse_ = platform::GetClock().TickCount();
  return 0;
}

void TTxtRec::Close() {
  std::lock_guard<std::mutex> lock(mu_);
  file_.Close();
}

uint32_t TTxtRec::last_use() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lastUse_;
}

int32_t TTxtAppend::Append(std::string_view file, int32_t line, std::string_view text,
                           int32_t mode) {
  std::shared_ptr<TTxtRec> rec;
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = records_.find(file);
    if (it == records_.end()) {
      it = records_.emplace(std::string(file), std::make_shared<TTxtRec>(file)).first;
    }
    rec = it->second;
  }
  const int32_t written = rec->Write(line, text, mode);
  rec.reset();
  CloseIdle();
  return written;
}

int32_t TTxtAppend::Close(std::string_view file) {
  std::shared_ptr<TTxtRec> closed;  // closes after the lock, when no writer holds it
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = records_.find(file);
  if (it == records_.end()) return -1;
  closed = std::move(it->second);
  records_.erase(it);
  return 0;
}

int32_t TTxtAppend::CloseIdle() {
  const uint32_t now = platform::GetClock().TickCount();
  std::vector<std::shared_ptr<TTxtRec>> closed;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = records_.begin(); it != records_.end();) {
      const bool held = it->second.use_count() > 1;
      if (!held && now - it->second->last_use() >= kIdleCloseMs) {
        closed.push_back(std::move(it->second));
        it = records_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const std::shared_ptr<TTxtRec>& rec : closed) rec->Close();
  return static_cast<int32_t>(closed.size());
}

size_t TTxtAppend::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return records_.size();
}

TTxtAppend& TextAppender() {
  static TTxtAppend* appender = new TTxtAppend();  // lives until the process ends
  return *appender;
}

namespace {

// "TextFileAppend(" (file name as text, value as its text form, mode as an
// integer).
class TagTextFileAppend : public ArgsStatement {
 public:
  explicit TagTextFileAppend(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override {
    const int32_t line = Compiling() != nullptr ? Compiling()->MainScript()->lineNo : 0;
    return TextAppender().Append(ArgText(Argument(0)), line, Argument(1).ToText(),
                                 ArgInt(Argument(2)));
  }
};

// "TextFileClose(" (file name as text).
class TagTextFileClose : public ArgsStatement {
 public:
  explicit TagTextFileClose(const StatementBuild& b) : ArgsStatement(b) {}
  int32_t Execute() override { return TextAppender().Close(ArgText(Argument(0))); }
};

}  // namespace

void RegisterTextAppendStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("TextFileAppend(", &BuildStatement<TagTextFileAppend>);
  r.Register("TextFileClose(", &BuildStatement<TagTextFileClose>);
}

}  // namespace services

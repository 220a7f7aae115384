#include "telephony/tel_lines_list.h"

#include <cstdio>
#include <map>

#include "platform/host_path.h"
#include "telephony/tel_line_kind.h"

namespace telephony {
namespace {

constexpr std::string_view kGroupRule = "------------------------------------\n";
constexpr std::string_view kBlockRule = "==============================================\n";
constexpr size_t kRowMax = 160;

std::string Printf(const char* format, auto... args) {
  char text[kRowMax];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// The statistics entries, ordered by kind text, then first and last line.
class GroupSummary {
 public:
  void Add(int32_t first, int32_t last, uint8_t kind) {
    const std::string kind_text(GetLineKindName(kind));
    entries_[Printf("%s %03d-%03d", kind_text.c_str(), first, last)] =
        Printf("%d-%d = %s (%d)", first, last, kind_text.c_str(), last - first + 1);
  }
  void AppendTo(std::string& out) const {
    for (const auto& [key, text] : entries_) out += text + "\n";
  }

 private:
  std::map<std::string, std::string> entries_;
};

}  // namespace

std::string FormatLinesList(const std::vector<LinesListRow>& rows) {
  std::string out = Printf("linesCount: %d\n", static_cast<int32_t>(rows.size()));
  out += "线路号  类型  名称\n";
  GroupSummary summary;
  int32_t group_first = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const LinesListRow& row = rows[i];
    if (i == 0 || row.kind != rows[i - 1].kind) {
      out += kGroupRule;
      if (i != 0) summary.Add(group_first, row.lineNo - 1, rows[i - 1].kind);
      group_first = row.lineNo;
    }
    const std::string kind_text(GetLineKindName(row.kind));
    out += Printf("%6d  %4s  ", row.lineNo, kind_text.c_str()) + row.name + "\n";
  }
  out += kBlockRule;
  if (!rows.empty()) summary.Add(group_first, rows.back().lineNo, rows.back().kind);
  out += "线路统计：\n";
  summary.AppendTo(out);
  out += kBlockRule;
  return out;
}

bool WriteLinesListFile(std::string_view path, std::string_view text) {
  FILE* file = platform::OpenHostFile(path, "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace telephony

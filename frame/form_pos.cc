#include "frame/form_pos.h"

#include <optional>
#include <utility>

#include "frame/run_cfg.h"
#include "platform/file_ops.h"
#include "platform/host_path.h"
#include "platform/number_text.h"

namespace frame {
namespace {

constexpr std::string_view kLeftKey = "WinX";
constexpr std::string_view kTopKey = "WinY";
constexpr std::string_view kWidthKey = "WinWidth";
constexpr std::string_view kHeightKey = "WinHeight";
constexpr std::string_view kGridWidthPrefix = "GridWid";

std::string GridWidthKey(int column) { return std::string(kGridWidthPrefix) + std::to_string(column); }

// The file's bytes: "" for an empty file, nullopt when it cannot be read.
std::optional<std::string> ReadMapFile(const std::string& name) {
  return platform::ReadScriptFile(name, kMapCfgFileMax, 0, platform::EmptyFile::kGivesEmpty)
      .bytes;
}

}  // namespace

TagMapCfg::TagMapCfg(std::string file_name) : file_name_(std::move(file_name)) { Load(); }

int TagMapCfg::Load() {
  std::optional<std::string> bytes = ReadMapFile(file_name_);
  if (!bytes) return kMapCfgError;
  std::string_view rest = *bytes;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    LoadLine(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return 0;
}

void TagMapCfg::LoadLine(std::string_view raw) {
  if (raw.size() > kMapCfgLineMax) return;
  const std::string line = CleanCfgLine(raw);
  size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  values_.insert_or_assign(line.substr(0, eq), line.substr(eq + 1));
}

int TagMapCfg::SaveTo(std::string_view path) const {
  std::optional<std::string> host = platform::ToHostPath(path);
  if (!host) return kMapCfgError;
  std::string text;
  for (const auto& [key, value] : values_) text.append(key).append(" = ").append(value).append("\n");
  if (!platform::ReplaceHostFile(*host, text)) return kMapCfgError;
  return static_cast<int>(values_.size());
}

int32_t TagMapCfg::GetInt(std::string_view key) const {
  auto it = values_.find(key);
  return it == values_.end() ? kMapCfgMissing : platform::AtoL(it->second);
}

void TagMapCfg::SetInt(std::string_view key, int32_t value) {
  values_.insert_or_assign(std::string(key), std::to_string(value));
}

bool ReadFormPos(const TagMapCfg& cfg, FormPos* pos) {
  const int32_t left = cfg.GetInt(kLeftKey);
  const int32_t top = cfg.GetInt(kTopKey);
  if (left < 0 || top < 0) return false;
  pos->left = left;
  pos->top = top;
  pos->width = cfg.GetInt(kWidthKey);
  pos->height = cfg.GetInt(kHeightKey);
  for (int c = 0; c < kSavedGridColumns; ++c) pos->grid_widths[c] = cfg.GetInt(GridWidthKey(c));
  return true;
}

void StoreFormPos(const FormPos& pos, TagMapCfg* cfg) {
  cfg->SetInt(kLeftKey, pos.left);
  cfg->SetInt(kTopKey, pos.top);
  cfg->SetInt(kWidthKey, pos.width);
  cfg->SetInt(kHeightKey, pos.height);
  for (int c = 0; c < kSavedGridColumns; ++c) cfg->SetInt(GridWidthKey(c), pos.grid_widths[c]);
}

}  // namespace frame

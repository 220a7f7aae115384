#include "telephony/voice/voc_cache.h"

#include <algorithm>
#include <optional>

#include "frame/log.h"
#include "platform/file_ops.h"

namespace telephony {

int32_t TagMemVocs::LoadVocFile(std::string_view path, int32_t /*flag*/) {
  if (path.empty()) return kVocNoPath;
  if (IsLoaded(path)) return kVocNotLoaded;
  platform::FileBytes read = platform::ReadScriptFile(path, kMaxVocFileBytes, kVocReadChunk);
  if (!read.opened) {
    std::string line = " LoadVocFile() error : ";
    line.append(path);
    frame::LogAlways(line);
    return kVocNotLoaded;
  }
  std::optional<std::string>& bytes = read.bytes;
  if (!bytes) return kVocNotLoaded;
  auto file = std::make_shared<MemStruct>();
  file->size = static_cast<int32_t>(bytes->size());
  file->data = std::move(*bytes);
  int32_t size = file->size;
  std::lock_guard<std::mutex> lock(mu_);
  // Another line may have loaded the path while this one read it.
  bool added = files_.emplace(std::string(path), std::move(file)).second;
  return added ? size : kVocNotLoaded;
}

std::shared_ptr<const MemStruct> TagMemVocs::Find(std::string_view path) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = files_.find(path);
  return it == files_.end() ? nullptr : it->second;
}

bool TagMemVocs::UnloadVocFile(std::string_view path) {
  if (path == kUnloadAllPath) {
    Clear();
    return true;
  }
  std::shared_ptr<const MemStruct> dropped;  // freed after the lock
  std::lock_guard<std::mutex> lock(mu_);
  auto it = files_.find(path);
  if (it == files_.end()) return false;
  dropped = std::move(it->second);
  files_.erase(it);
  return true;
}

void TagMemVocs::Clear() {
  FileMap dropped;  // freed after the lock
  std::lock_guard<std::mutex> lock(mu_);
  dropped.swap(files_);
}

size_t TagMemVocs::Count() {
  std::lock_guard<std::mutex> lock(mu_);
  return files_.size();
}

bool TagMemVocs::IsLoaded(std::string_view path) {
  std::lock_guard<std::mutex> lock(mu_);
  return files_.find(path) != files_.end();
}

TagMemVocs& GlobalVocCache() {
  static TagMemVocs cache;
  return cache;
}

}  // namespace telephony

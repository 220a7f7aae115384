#include "engine/voc_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "frame/log.h"
#include "platform/host_path.h"

namespace engine {

namespace {

// Reads the regular file behind fd in chunks of kVocReadChunk, stopping
// early when a read returns nothing; nullopt for a non-regular, empty or
// oversized file or a read error. Every byte read counts, the last short
// chunk included.
std::optional<std::string> ReadInChunks(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  if (st.st_size <= 0 || st.st_size > kMaxVocFileBytes) return std::nullopt;
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    size_t want = std::min(kVocReadChunk, bytes.size() - got);
    ssize_t n = read(fd, bytes.data() + got, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  if (got == 0) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

}  // namespace

int32_t TagMemVocs::LoadVocFile(std::string_view path, int32_t /*flag*/) {
  if (path.empty()) return kVocNoPath;
  if (IsLoaded(path)) return kVocNotLoaded;
  int fd = platform::OpenHostFd(path, O_RDONLY);
  if (fd < 0) {
    std::string line = " LoadVocFile() error : ";
    line.append(path);
    frame::LogAlways(line);
    return kVocNotLoaded;
  }
  std::optional<std::string> bytes = ReadInChunks(fd);
  close(fd);
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

}  // namespace engine

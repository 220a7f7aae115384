#include "engine/script_cache.h"

#include <ctime>
#include <optional>

#include "platform/byte_order.h"
#include "platform/file_ops.h"

namespace engine {

namespace {

bool StartsScrambled(const std::string& bytes) {
  return !bytes.empty() && static_cast<unsigned char>(bytes[0]) == kScrambledMark;
}

// Turns the scrambled form into its text in place; false when the file is
// too short to hold the header.
bool Unscramble(std::string& bytes) {
  if (bytes.size() < kScrambleHeaderBytes) return false;
  uint8_t key = ScrambleKey(platform::LoadLe32(bytes.data() + 1));
  XorBytes(bytes.data() + kScrambleHeaderBytes, bytes.size() - kScrambleHeaderBytes, key);
  bytes.erase(0, kScrambleHeaderBytes);
  return true;
}

}  // namespace

void XorBytes(char* buffer, size_t length, uint8_t key) {
  for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(buffer[i] ^ key);
}

uint8_t ScrambleKey(uint32_t value) {
  return static_cast<uint8_t>(value / kScrambleDivisor);
}

std::string ScrambleScript(std::string_view text, uint32_t value) {
  std::string out;
  out.reserve(kScrambleHeaderBytes + text.size());
  out.push_back(static_cast<char>(kScrambledMark));
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
  out.append(text);
  XorBytes(out.data() + kScrambleHeaderBytes, text.size(), ScrambleKey(value));
  return out;
}

uint32_t FileTimeStamp(std::string_view path) {
  const std::optional<int64_t> modified = platform::ScriptFileModified(path);
  if (!modified) return 0;
  struct tm t;
  const time_t when = static_cast<time_t>(*modified);
  if (localtime_r(&when, &t) == nullptr) return 0;
  int year = t.tm_year + 1900;
  if (year < 1980) {
    year = 1980;
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_hour = t.tm_min = t.tm_sec = 0;
  } else if (year > 2107) {
    year = 2107;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
  }
  uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                  (static_cast<uint32_t>(t.tm_mon + 1) << 5) | static_cast<uint32_t>(t.tm_mday);
  uint32_t time = (static_cast<uint32_t>(t.tm_hour) << 11) |
                  (static_cast<uint32_t>(t.tm_min) << 5) |
                  static_cast<uint32_t>(t.tm_sec / 2);
  return (date << 16) | time;
}

std::shared_ptr<const FileBuffNode> TagMemVts::Get(std::string_view path, bool keep_raw,
                                                   bool check_time) {
  if (path.empty()) return nullptr;
  uint32_t stamp = check_time ? FileTimeStamp(path) : kUncheckedStamp;
  if (stamp == 0) return nullptr;
  std::shared_ptr<Slot> slot = FindOrAddSlot(path, keep_raw);
  std::lock_guard<std::mutex> lock(slot->mu);
  if (slot->node && (!check_time || slot->node->timeStamp == stamp)) return slot->node;
  // A node of another stamp goes, whether or not the file can be read now.
  slot->node = ReadNode(path, stamp, keep_raw);
  return slot->node;
}

void TagMemVts::Clear() {
  SlotMap dropped[2];
  {
    std::lock_guard<std::mutex> lock(mu_);
    dropped[0].swap(slots_[0]);
    dropped[1].swap(slots_[1]);
  }
  // The nodes are freed here, outside the lock, unless someone holds them.
}

size_t TagMemVts::Count() {
  std::lock_guard<std::mutex> lock(mu_);
  size_t n = 0;
  for (const SlotMap& slots : slots_) {
    for (const auto& [path, slot] : slots) {
      std::lock_guard<std::mutex> slot_lock(slot->mu);
      if (slot->node) ++n;
    }
  }
  return n;
}

std::shared_ptr<TagMemVts::Slot> TagMemVts::FindOrAddSlot(std::string_view path,
                                                          bool keep_raw) {
  std::lock_guard<std::mutex> lock(mu_);
  SlotMap& slots = slots_[keep_raw ? 1 : 0];
  auto it = slots.find(path);
  if (it == slots.end()) it = slots.emplace(std::string(path), std::make_shared<Slot>()).first;
  return it->second;
}

std::shared_ptr<const FileBuffNode> TagMemVts::ReadNode(std::string_view path,
                                                        uint32_t stamp, bool keep_raw) {
  platform::FileBytes read = platform::ReadScriptFile(path, kMaxScriptFileBytes);
  if (!read.opened) return nullptr;
  disk_reads_.fetch_add(1, std::memory_order_relaxed);
  std::optional<std::string>& bytes = read.bytes;
  if (!bytes) return nullptr;
  auto node = std::make_shared<FileBuffNode>();
  node->timeStamp = stamp;
  node->size = static_cast<int32_t>(bytes->size());
  if (!keep_raw && StartsScrambled(*bytes)) {
    if (!Unscramble(*bytes)) return nullptr;
    node->scrambled = 1;
  }
  node->data = std::move(*bytes);
  return node;
}

TagMemVts& ScriptCache() {
  static TagMemVts cache;
  return cache;
}

}  // namespace engine

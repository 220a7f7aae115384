#include "platform/host_path.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/codepage.h"
#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace platform {
namespace {

constexpr const char* kDrivesVariable = "VTTEL_DRIVES";

bool IsAsciiLetter(unsigned char c) { return IsAsciiUpper(c) || IsAsciiLower(c); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsGbkTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

// Calls f(letter, folder) for each well-formed entry of VTTEL_DRIVES in
// order, the folder without a trailing '/' (unless it is "/" itself); f
// returns false to stop.
template <typename F>
void ForEachDrive(F f) {
  const char* drives = getenv(kDrivesVariable);
  if (drives == nullptr) return;
  std::string_view list(drives);
  while (!list.empty()) {
    const size_t end = list.find(';');
    const std::string_view entry = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = TrimmedView(entry.substr(0, equals));
    std::string_view folder = TrimmedView(entry.substr(equals + 1));
    if (key.size() != 1 || !IsAsciiLetter(static_cast<unsigned char>(key[0])) || folder.empty()) {
      continue;
    }
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    if (!f(key[0], folder)) return;
  }
}

// The host folder VTTEL_DRIVES gives the drive letter (its first entry).
std::optional<std::string> DriveFolder(char letter) {
  std::optional<std::string> found;
  ForEachDrive([&](char key, std::string_view folder) {
    if (AsciiUpper(key) != AsciiUpper(letter)) return true;
    found = std::string(folder);
    return false;
  });
  return found;
}

// The GBK path with '/' for its separators, runs of separators as one and no
// leading separator; nullopt when it holds a ':'. A double-byte character is
// copied whole, whatever its trail byte.
std::optional<std::string> NormalizeSeparators(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size());
  bool after_separator = true;
  for (size_t i = 0; i < gbk.size(); ++i) {
    const char c = gbk[i];
    if (IsGbkLead(static_cast<unsigned char>(c)) && i + 1 < gbk.size() &&
        IsGbkTrail(static_cast<unsigned char>(gbk[i + 1]))) {
      out += c;
      out += gbk[++i];
      after_separator = false;
    } else if (IsSeparator(c)) {
      if (!after_separator) out += '/';
      after_separator = true;
    } else if (c == ':') {
      return std::nullopt;
    } else {
      out += c;
      after_separator = false;
    }
  }
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The entry of folder whose name equals name ignoring ASCII case (UTF-8
// bytes of other characters must match exactly); the smallest such name.
std::optional<std::string> FindIgnoringCase(const std::string& folder, std::string_view name) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view candidate(entry->d_name);
    if (!EqualsIgnoringAsciiCase(candidate, name)) continue;
    if (!best || candidate < *best) best = std::string(candidate);
  }
  closedir(dir);
  return best;
}

// root ("", "/" or a drive folder ending in '/') followed by the UTF-8
// components of relative, each found as written or else ignoring case.
std::string Resolve(const std::string& root, std::string_view relative) {
  std::string path = root;
  path.append(relative);
  if (Exists(path)) return path;
  path.resize(root.size());
  bool resolving = true;
  size_t pos = 0;
  while (pos < relative.size()) {
    size_t end = relative.find('/', pos);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view name = relative.substr(pos, end - pos);
    const size_t mark = path.size();
    path.append(name);
    if (resolving && name != "." && name != ".." && !Exists(path)) {
      std::string folder = mark == 0 ? std::string(".") : path.substr(0, mark > 1 ? mark - 1 : 1);
      if (std::optional<std::string> found = FindIgnoringCase(folder, name)) {
        path.replace(mark, std::string::npos, *found);
      } else {
        resolving = false;  // the rest does not exist: keep it as written
      }
    }
    if (end < relative.size()) path += '/';
    pos = end + 1;
  }
  return path;
}

}  // namespace

std::optional<std::string> ToHostPath(std::string_view script_path) {
  if (script_path.empty() || script_path.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string root;  // "" relative, "/" absolute, else the drive folder
  std::string_view rest = script_path;
  if (rest.size() >= 2 && IsAsciiLetter(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
    std::optional<std::string> folder = DriveFolder(rest[0]);
    if (!folder) return std::nullopt;
    root = std::move(*folder);
    rest.remove_prefix(2);
  } else if (IsSeparator(rest[0])) {
    if (rest.size() >= 2 && IsSeparator(rest[1])) return std::nullopt;  // UNC
    root = "/";
  }
  std::optional<std::string> gbk = NormalizeSeparators(rest);
  if (!gbk) return std::nullopt;
  if (gbk->empty()) return root.empty() ? std::optional<std::string>() : root;
  if (!root.empty() && root.back() != '/') root += '/';
  return Resolve(root, GbkToUtf8(*gbk));
}

FILE* OpenHostFile(std::string_view script_path, const char* mode) {
  if (mode == nullptr) {
    errno = EINVAL;
    return nullptr;
  }
  std::optional<std::string> host = ToHostPath(script_path);
  if (!host) {
    errno = ENOENT;
    return nullptr;
  }
  std::string close_on_exec(mode);
  close_on_exec += 'e';
  return fopen(host->c_str(), close_on_exec.c_str());
}

int OpenHostFd(std::string_view script_path, int flags, mode_t mode) {
  std::optional<std::string> host = ToHostPath(script_path);
  if (!host) {
    errno = ENOENT;
    return -1;
  }
  return open(host->c_str(), flags | O_CLOEXEC, mode);
}

std::string ToScriptPath(const std::string& host_path) {
  char best_letter = 0;
  size_t best_length = 0;
  ForEachDrive([&](char key, std::string_view folder) {
    const bool root = folder == "/";
    const bool under = host_path.compare(0, folder.size(), folder) == 0 &&
                       (root || host_path.size() == folder.size() ||
                        host_path[folder.size()] == '/');
    // The longest folder wins; of equal ones the first entry (a later entry
    // of the same letter is ignored by the forward map as well).
    if (under && folder.size() > best_length && DriveFolder(key) == std::string(folder)) {
      best_letter = AsciiUpper(key);
      best_length = folder.size();
    }
    return true;
  });
  if (best_letter == 0) return Utf8ToGbk(host_path);
  std::string script{best_letter, ':', '\\'};
  std::string_view rest(host_path);
  rest.remove_prefix(best_length == 1 ? 1 : best_length);
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  for (char c : Utf8ToGbk(rest)) script.push_back(c == '/' ? '\\' : c);
  return script;
}

}  // namespace platform

#include "platform/file_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/gbk.h"
#include "platform/host_path.h"

namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where the last component of a GBK script path starts (after its last
// separator or drive colon, stepping over double-byte characters).
size_t NameStart(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i += GbkCharLength(path, i)) {
    if (IsSeparator(path[i]) || (i == 1 && path[i] == ':')) start = i + 1;
  }
  return start;
}

// Whether the character of pattern at p equals the one of name at n (both
// of length len), ASCII letters folded.
bool SameChar(std::string_view pattern, size_t p, std::string_view name, size_t n, size_t len) {
  if (len == 1) return AsciiLower(pattern[p]) == AsciiLower(name[n]);
  return pattern.compare(p, len, name, n, len) == 0;
}

bool MatchesPlain(std::string_view pattern, std::string_view name) {
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, star_name = 0;
  while (n < name.size()) {
    const size_t nlen = GbkCharLength(name, n);
    if (p < pattern.size() && pattern[p] == '*') {
      star = ++p;
      star_name = n;
      continue;
    }
    if (p < pattern.size()) {
      const size_t plen = GbkCharLength(pattern, p);
      if (pattern[p] == '?' || (plen == nlen && SameChar(pattern, p, name, n, nlen))) {
        p += pattern[p] == '?' ? 1 : plen;
        n += nlen;
        continue;
      }
    }
    if (star == std::string_view::npos) return false;
    p = star;
    star_name += GbkCharLength(name, star_name);
    n = star_name;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The ASCII-folded UTF-16 form of a GBK name: the sort key.
std::u16string SortKey(std::string_view gbk) {
  std::u16string units = ToUtf16(CodePage::kGbk, gbk);
  for (char16_t& u : units) {
    if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 32);
  }
  return units;
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (MatchesPlain(pattern, name)) return true;
  constexpr std::string_view kAnyExtension = ".*";
  if (pattern.size() < kAnyExtension.size() ||
      pattern.substr(pattern.size() - kAnyExtension.size()) != kAnyExtension ||
      name.find('.') != std::string_view::npos) {
    return false;
  }
  return MatchesPlain(pattern.substr(0, pattern.size() - kAnyExtension.size()), name);
}

std::vector<FoundFile> FindScriptFiles(std::string_view pattern) {
  std::vector<FoundFile> found;
  const size_t name_start = NameStart(pattern);
  const std::string_view wildcard = pattern.substr(name_start);
  const std::string_view folder_part = pattern.substr(0, name_start);
  std::optional<std::string> folder =
      folder_part.empty() ? std::optional<std::string>(".") : ToHostPath(folder_part);
  if (!folder || wildcard.empty()) return found;
  DIR* dir = opendir(folder->c_str());
  if (dir == nullptr) return found;
  std::vector<std::pair<std::u16string, FoundFile>> keyed;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string name = Utf8ToGbk(entry->d_name);
    if (!MatchesWildcard(wildcard, name)) continue;
    struct stat st;
    const std::string host = *folder + "/" + entry->d_name;
    if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    FoundFile file;
    file.size = static_cast<int64_t>(st.st_size);
    file.modified = static_cast<int64_t>(st.st_mtim.tv_sec);
    std::u16string key = SortKey(name);
    file.name = std::move(name);
    keyed.emplace_back(std::move(key), std::move(file));
  }
  closedir(dir);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  found.reserve(keyed.size());
  for (auto& entry : keyed) found.push_back(std::move(entry.second));
  return found;
}

}  // namespace platform

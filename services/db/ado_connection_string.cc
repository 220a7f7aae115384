#include "services/db/ado_connection_string.h"

#include <utility>
#include <vector>

#include "platform/gbk.h"
#include "platform/text_trim.h"

namespace services {
namespace {

// The folder of the ODBC drivers Debian installs.
#ifndef VTTEL_ODBC_DRIVER_DIR
#define VTTEL_ODBC_DRIVER_DIR "/usr/lib/x86_64-linux-gnu/odbc"
#endif
constexpr std::string_view kDriverDir = VTTEL_ODBC_DRIVER_DIR;
constexpr std::string_view kSqliteDriver = "libsqlite3odbc.so";
constexpr std::string_view kTdsDriver = "libtdsodbc.so";
constexpr std::string_view kMariaDbDriver = "libmaodbc.so";
constexpr std::string_view kUtf8Charset = "CHARSET=utf8mb4;";

using Pair = std::pair<std::string, std::string>;

std::string Lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = platform::AsciiLower(c);
  return out;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && Lowered(s.substr(0, prefix.size())) == Lowered(prefix);
}

// "key=value;..." pairs; a value in braces may hold ';'.
std::vector<Pair> Split(std::string_view text) {
  std::vector<Pair> pairs;
  size_t i = 0;
  while (i < text.size()) {
    const size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    const std::string key(platform::TrimmedView(text.substr(i, eq - i)));
    size_t end = eq + 1;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    if (end < text.size() && text[end] == '{') {
      const size_t close = text.find('}', end);
      end = close == std::string_view::npos ? text.size() : close + 1;
    }
    end = text.find(';', end);
    if (end == std::string_view::npos) end = text.size();
    pairs.emplace_back(key, std::string(platform::TrimmedView(text.substr(eq + 1, end - eq - 1))));
    i = end + 1;
  }
  return pairs;
}

// The value of key (ignoring case), or null; Pairs is const or not.
template <typename Pairs>
auto Find(Pairs& pairs, std::string_view key) -> decltype(&pairs.front().second) {
  for (auto& p : pairs) {
    if (Lowered(p.first) == Lowered(key)) return &p.second;
  }
  return nullptr;
}

bool IsAdoOnly(std::string_view key) {
  for (std::string_view ado : {"provider", "persist security info", "ole db services",
                               "extended properties", "mode"}) {
    if (Lowered(key) == ado) return true;
  }
  return false;
}

std::string DriverPath(std::string_view file) {
  return std::string(kDriverDir) + "/" + std::string(file);
}

std::string Join(const std::vector<Pair>& pairs) {
  std::string out;
  for (const Pair& p : pairs) {
    if (p.second.empty() || IsAdoOnly(p.first)) continue;
    out += p.first + "=" + p.second + ";";
  }
  return out;
}

std::string Value(const std::vector<Pair>& pairs, std::string_view key) {
  const std::string* v = Find(pairs, key);
  return v != nullptr ? *v : std::string();
}

// An OLE DB provider's keys as the driver's.
std::string ServerString(std::string_view driver, const std::vector<Pair>& pairs) {
  return Join({{"DRIVER", DriverPath(driver)},
               {"Server", Value(pairs, "Data Source")},
               {"Database", Value(pairs, "Initial Catalog")},
               {"UID", Value(pairs, "User ID")},
               {"PWD", Value(pairs, "Password")}});
}

// SQLite's driver has no wide calls and takes UTF-8; MariaDB's takes UTF-8
// through its narrow calls with the connection in utf8mb4, at half the
// cost of its wide ones.
OdbcTarget Narrowed(std::vector<Pair>& pairs, const std::string& driver) {
  const std::string lowered = Lowered(driver);
  if (lowered.find("maodbc") != std::string::npos || lowered.find("mariadb") != std::string::npos) {
    if (Find(pairs, "CHARSET") == nullptr) pairs.emplace_back("CHARSET", "utf8mb4");
    return {Join(pairs), "", true};
  }
  return {Join(pairs), "", lowered.find("sqlite") != std::string::npos};
}

}  // namespace

OdbcTarget MapAdoConnectionString(std::string_view ado) {
  std::vector<Pair> pairs = Split(ado);
  if (std::string* driver = Find(pairs, "DRIVER")) {
    if (StartsWith(platform::TrimmedView(*driver, "{ "), "MySQL")) {
      *driver = DriverPath(kMariaDbDriver);
    }
    return Narrowed(pairs, *driver);
  }
  if (Find(pairs, "DSN") != nullptr || Find(pairs, "FILEDSN") != nullptr) return {Join(pairs), ""};
  const std::string provider = Value(pairs, "Provider");
  if (StartsWith(provider, "SQLite")) {
    return {Join({{"DRIVER", DriverPath(kSqliteDriver)}, {"Database", Value(pairs, "Data Source")}}),
            "", true};
  }
  if (StartsWith(provider, "SQLOLEDB") || StartsWith(provider, "SQLNCLI") ||
      StartsWith(provider, "MSOLEDBSQL")) {
    return {ServerString(kTdsDriver, pairs), ""};
  }
  if (StartsWith(provider, "MySQL")) {
    return {ServerString(kMariaDbDriver, pairs) + std::string(kUtf8Charset), "", true};
  }
  // The refusal never repeats the whole string: it may carry a password.
  if (provider.empty()) {
    return {"", "ADO connection string refused: it names no Provider, Driver or DSN"};
  }
  return {"", "ADO provider '" + provider + "' refused: no ODBC driver stands for it here "
              "(SQLite, SQLOLEDB/SQLNCLI/MSOLEDBSQL, MySQL, or Driver=/DSN= are taken)"};
}

}  // namespace services

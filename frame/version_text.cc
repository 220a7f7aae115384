#include "frame/version_text.h"

#include <mutex>

namespace frame {
namespace {

std::mutex version_mu;
std::string& Version() {
  static std::string text;  // guarded by version_mu
  return text;
}

}  // namespace

std::string VersionText() {
  std::lock_guard<std::mutex> lock(version_mu);
  return Version();
}

void SetVersionText(std::string_view text) {
  std::lock_guard<std::mutex> lock(version_mu);
  Version() = text;
}

}  // namespace frame

// What the file-reading fuzz targets share: a folder of the process's own
// for the input written as a file (removed with everything in it at exit),
// and a message service that takes every message without showing it (a
// parser's message box must not stop the run).
//
// Used on the fuzzer's one thread.
#ifndef VTTEL_FUZZ_FUZZ_SUPPORT_H_
#define VTTEL_FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/message_service.h"

namespace fuzz_support {

// The process's own folder, made at the first call under $TMPDIR (or /tmp)
// and removed with its files at exit.
inline const std::string& Folder() {
  static std::string dir;
  if (dir.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                          "/vttel-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    });
  }
  return dir;
}

// Makes Folder() the working directory once, so that what the code under
// test writes beside itself (the raw trace "RawLog.txt") goes with it.
inline void WorkInFolder() {
  static const bool entered = chdir(Folder().c_str()) == 0;
  if (!entered) std::abort();
}

// Folder() + "/" + name.
inline std::string PathOf(std::string_view name) {
  return Folder() + "/" + std::string(name);
}

// Writes bytes as the file name in Folder(); its path, or "" when it
// cannot be written.
inline std::string WriteInput(std::string_view name, const uint8_t* data, size_t size) {
  const std::string path = PathOf(name);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return "";
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) return "";
  return path;
}

// Takes every message without showing or keeping it.
class QuietMessages : public platform::MessageService {
 public:
  void Show(const platform::Message&) override {}
  void OpenDocument(std::string_view) override {}
};

// Installs a QuietMessages for the life of the process.
inline void SilenceMessages() {
  static QuietMessages quiet;
  static platform::ScopedMessageService scoped(&quiet);
}

}  // namespace fuzz_support

#endif  // VTTEL_FUZZ_FUZZ_SUPPORT_H_

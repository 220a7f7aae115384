// Random script texts, and edits of sample scripts, through the statement
// compiler and a bounded run of what compiled (see compile_fuzz_body.h).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/compile_fuzz_body.h"

namespace {

std::string work_dir;

void RemoveWorkDir() {
  unlink(compile_fuzz::kScriptName);
  unlink("errmsg0.txt");
  rmdir(work_dir.c_str());
}

}  // namespace

// The script and its error file go to a folder of this process's own,
// removed at exit.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  work_dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
             "/vttel-compile-fuzz-XXXXXX";
  if (mkdtemp(work_dir.data()) == nullptr || chdir(work_dir.c_str()) != 0) std::abort();
  std::atexit(&RemoveWorkDir);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  compile_fuzz::CompileFuzzOne(data, size);
  return 0;
}

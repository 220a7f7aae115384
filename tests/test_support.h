// Small helpers shared by the test binaries: a temporary folder removed at
// the end of the test, scoped environment variables and whole-file I/O.
#ifndef VTTEL_TESTS_TEST_SUPPORT_H_
#define VTTEL_TESTS_TEST_SUPPORT_H_

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;
  // Writes bytes into File(name) and returns that path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Sets (or with nullopt unsets) an environment variable; restores it after.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Changes the working directory for the life of the object.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& dir);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::string old_;
};

// Whole-file helpers; ReadFile returns nullopt when the file cannot be read.
std::optional<std::string> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names in a folder, in no particular order (none when it is missing).
std::vector<std::string> FolderNames(const std::string& folder);

// A loopback TCP port nobody listens on at the moment of the call.
int FreeLoopbackPort();

}  // namespace testing_support

#endif  // VTTEL_TESTS_TEST_SUPPORT_H_

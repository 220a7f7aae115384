// A program for the "Exec(" tests: writes to the file named by its first
// argument one line per further argument, then "fds:" and the numbers of
// the descriptors it was started with.
#include <fcntl.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string fds = "fds:";
  for (int fd = 0; fd < 1024; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) fds += " " + std::to_string(fd);
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 2;
  for (int i = 2; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fprintf(out, "%s\n", fds.c_str());
  std::fclose(out);
  return 0;
}

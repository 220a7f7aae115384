// A descriptor owned by one scope, and pipes made of two of them.
//
// UniqueFd closes its descriptor when it dies or is given another one; it
// is neither copied nor moved. Not thread-safe: one owner at a time.
#ifndef VTTEL_PLATFORM_UNIQUE_FD_H_
#define VTTEL_PLATFORM_UNIQUE_FD_H_

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Close(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  // Closes the descriptor held (if any) and holds fd.
  void Reset(int fd);
  void Close();

 private:
  int fd_ = -1;
};

// A close-on-exec pipe, with more flags of pipe2 (O_NONBLOCK) when given;
// false (errno set) when none could be made.
bool MakePipe(UniqueFd* read_end, UniqueFd* write_end, int more_flags = 0);

}  // namespace platform

#endif  // VTTEL_PLATFORM_UNIQUE_FD_H_

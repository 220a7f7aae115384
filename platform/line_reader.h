// Reads a text file line by line as the system's text-mode files did: a
// line ends at LF or at CR LF (the CR is dropped; a lone CR elsewhere is
// kept, but a CR just before the end of the file is dropped too), and a line
// longer than the caller's limit is handed out in pieces of that many bytes,
// each piece counting as a line of its own. Zero bytes are kept.
//
// The reader owns the file it opens. Not thread-safe; one reader per thread.
#ifndef VTTEL_PLATFORM_LINE_READER_H_
#define VTTEL_PLATFORM_LINE_READER_H_

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class LineReader {
 public:
  // Takes ownership of an open file (closed by the reader).
  explicit LineReader(FILE* file);
  // Opens a script-visible path (mapped to the host path) for reading;
  // is_open() tells whether that worked.
  static LineReader Open(std::string_view script_path);

  bool is_open() const { return file_ != nullptr; }

  // Reads the next piece of at most max_bytes bytes into *line, without its
  // line end. Returns false at the end of the file when nothing was read.
  bool ReadLine(std::string* line, size_t max_bytes);

 private:
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> file_;
};

}  // namespace platform

#endif  // VTTEL_PLATFORM_LINE_READER_H_

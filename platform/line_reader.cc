#include "platform/line_reader.h"

#include "platform/host_path.h"

namespace platform {

LineReader::LineReader(FILE* file) : file_(file) {}

LineReader LineReader::Open(std::string_view script_path) {
  return LineReader(OpenHostFile(script_path, "rb"));
}

bool LineReader::ReadLine(std::string* line, size_t max_bytes) {
  line->clear();
  if (!file_) return false;
  FILE* f = file_.get();
  bool read_any = false;
  while (line->size() < max_bytes) {
    int c = getc_unlocked(f);
    if (c == EOF) break;
    read_any = true;
    if (c == '\n') return true;
    if (c == '\r') {
      int next = getc_unlocked(f);
      if (next == '\n') return true;
      if (next == EOF) break;  // a CR that ends the file is a line end too
      ungetc(next, f);
    }
    line->push_back(static_cast<char>(c));
  }
  // A piece that fills the limit leaves the rest of the line, even just its
  // line end, for the next call (which may then give an empty line), as a
  // text-mode read into a full buffer did.
  if (line->size() == max_bytes) return true;
  return read_any;
}

}  // namespace platform

// TTextFileRead: one open text file of a line ("FileOpen("), a buffered
// stream over the platform's file calls with one position for reading and
// writing.
//
// The mode text is searched for the letters r, w, a, + and b anywhere in
// it: r input; w output, truncating; a output at the end (with r or w the
// open fails); + input and output unless there is an 'a'; b binary. No r,
// w, a or + fails. "r" and "+"/"r+" need the file; "w", "a", "w+", "rw"
// create it. A folder does not open.
//
// Without 'b' the stream is in text mode: CR LF is read as LF and LF
// written as CR LF (platform/text_mode.h); with 'b' bytes pass unchanged.
// A line ends at LF and is cut at its first CR, so a CR LF file gives the
// same lines in both modes. A line may hold kMaxLineChars characters (in
// 'b' mode a CR before its LF counts): a longer one puts the stream into
// its failed state, and every later read gives -1 or nothing. Positions
// ("FileSeek(") are byte offsets of the file.
//
// Written strings are buffered and reach the file when the buffer fills,
// at a non-string write, before a read or a seek, and at close.
//
// Thread rules: used by one line's thread only. Owns its file.
#ifndef VTTEL_SERVICES_FILES_TEXT_FILE_H_
#define VTTEL_SERVICES_FILES_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"

namespace engine {
class TagVar;
}

namespace services {

// A line is read into a buffer of this many bytes: at most one less are
// characters of the line.
inline constexpr size_t kLineBufferBytes = 8192;
inline constexpr size_t kMaxLineChars = kLineBufferBytes - 1;
// The bytes read or written with one call of the platform.
inline constexpr size_t kTextFileBufferBytes = 1 << 16;

// The open mode of a mode text, or nullopt when the letters fail; binary
// tells whether a 'b' was present.
std::optional<platform::FileOpenMode> ParseOpenMode(std::string_view mode, bool* binary);

class TTextFileRead {
 public:
  // Opens the script path with the mode text; is_open() tells whether it
  // worked.
  TTextFileRead(std::string_view path, std::string_view mode);
  ~TTextFileRead();
  TTextFileRead(const TTextFileRead&) = delete;
  TTextFileRead& operator=(const TTextFileRead&) = delete;

  bool is_open() const { return file_.is_open(); }

  // The next line (cut at its first CR) into *line; false at the end of the
  // file, on an error or in the failed state (*line then empty).
  bool NextLine(std::string* line);

  // The script operations. Reads of a closed or output-only stream set the
  // variable to "" and give 0 (ReadLine -1).
  // The line's length, or -1 at the end of the file or after an error.
  int32_t ReadLine(engine::TagVar& var);
  // Each line under the integer key n from 0; the number of lines (the
  // variable is untouched when there is none).
  int32_t ReadLines(engine::TagVar& var);
  // Each line's text as key, its number from 1 as value (a repeated line
  // takes the later number); the number of lines plus 1.
  int32_t MapLines(engine::TagVar& var);
  // Up to count characters (count > 0); the number read. The buffer is as
  // large as what the file can still give, never count bytes for a small
  // file.
  int32_t ReadBlock(int32_t count, engine::TagVar& var);
  // Everything from the position to the end as the file's size gave it
  // when the read began; the number of characters read.
  int32_t ReadAll(engine::TagVar& var);
  // Reading and writing continue at the byte offset; returns it.
  int32_t Seek(int32_t position);
  // A string as its bytes, buffered; any other value as its text form,
  // then flushed. 0.
  int32_t Write(const engine::TagVar& value);
  // Writes bytes as Write does a string's.
  void WriteBytes(std::string_view bytes);

 private:
  // Reads more bytes into the input buffer, keeping the unread ones; false
  // at the end of the file or on an error (the failed state).
  bool Fill();
  size_t Available() const { return in_len_ - in_pos_; }
  const char* InputData() const { return in_.data() + in_pos_; }
  void Consume(size_t n);
  // Up to limit characters from the position.
  std::string ReadUpTo(int64_t limit);
  // What the file can still give from the position, in bytes.
  int64_t Remaining() const;
  bool FlushOutput();
  // Gives the read-ahead back (the file's position becomes ours).
  void DropInput();

  platform::FileHandle file_;
  bool binary_ = false;
  bool readable_ = false;
  bool writable_ = false;
  bool failed_ = false;  // a line was too long, or a read failed
  int64_t position_ = 0;  // where the next read or write happens
  std::string in_;        // read-ahead: in_[in_pos_, in_len_) is unread
  size_t in_pos_ = 0;
  size_t in_len_ = 0;
  std::string out_;  // written bytes not yet in the file
};

}  // namespace services

#endif  // VTTEL_SERVICES_FILES_TEXT_FILE_H_

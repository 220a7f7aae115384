#include "services/files/text_file.h"

#include <algorithm>
#include <cstring>

#include "engine/tag_var.h"
#include "platform/text_mode.h"

namespace services {
namespace {

bool Has(std::string_view mode, char letter) { return mode.find(letter) != std::string_view::npos; }

}  // namespace

std::optional<platform::FileOpenMode> ParseOpenMode(std::string_view mode, bool* binary) {
  const bool r = Has(mode, 'r'), w = Has(mode, 'w'), a = Has(mode, 'a'), plus = Has(mode, '+');
  *binary = Has(mode, 'b');
  if ((a && (r || w)) || !(r || w || a || plus)) return std::nullopt;
  platform::FileOpenMode open;
  if (a) {
    open.write = open.create = open.append = true;
  } else {
    open.read = r || plus;
    open.write = w || plus;
    open.create = open.truncate = w;
  }
  return open;
}

TTextFileRead::TTextFileRead(std::string_view path, std::string_view mode) {
  const std::optional<platform::FileOpenMode> open = ParseOpenMode(mode, &binary_);
  if (!open) return;
  file_ = platform::FileHandle::Open(path, *open);
  if (file_.IsDirectory()) file_.Close();  // a folder is no text file
  readable_ = open->read;
  writable_ = open->write;
}

TTextFileRead::~TTextFileRead() { FlushOutput(); }

bool TTextFileRead::Fill() {
  if (failed_) return false;
  if (in_.size() != kTextFileBufferBytes) in_.resize(kTextFileBufferBytes);
  if (in_pos_ > 0) {
    std::memmove(in_.data(), in_.data() + in_pos_, Available());
    in_len_ -= in_pos_;
    in_pos_ = 0;
  }
  const ssize_t got = file_.Read(in_.data() + in_len_, in_.size() - in_len_);
  if (got < 0) failed_ = true;
  if (got <= 0) return false;
  in_len_ += static_cast<size_t>(got);
  return true;
}

void TTextFileRead::Consume(size_t n) {
  in_pos_ += n;
  position_ += static_cast<int64_t>(n);
}

bool TTextFileRead::FlushOutput() {
  if (out_.empty()) return true;
  const bool ok = file_.WriteAll(out_);
  out_.clear();
  return ok;
}

void TTextFileRead::DropInput() {
  if (Available() > 0) file_.Seek(position_);
  in_pos_ = in_len_ = 0;
}

bool TTextFileRead::NextLine(std::string* line) {
  line->clear();
  if (!is_open() || !readable_ || failed_) return false;
  FlushOutput();
  bool consumed = false;
  bool ended = false;
  // Text mode may drop a CR before the LF, so one more byte may be held.
  const size_t hold_limit = kMaxLineChars + (binary_ ? 0 : 1);
  while (!ended) {
    if (Available() == 0 && !Fill()) break;
    const char* start = InputData();
    const void* nl = std::memchr(start, '\n', Available());
    const size_t take = nl != nullptr ? static_cast<size_t>(static_cast<const char*>(nl) - start)
                                      : Available();
    line->append(start, take);
    ended = nl != nullptr;
    Consume(take + (ended ? 1 : 0));
    consumed = true;
    if (line->size() > hold_limit) break;
  }
  size_t chars = line->size();
  if (ended && !binary_ && chars > 0 && line->back() == '\r') --chars;
  if (!consumed || failed_ || chars > kMaxLineChars) {
    if (chars > kMaxLineChars) failed_ = true;
    line->clear();
    return false;
  }
  const size_t cr = line->find('\r');
  if (cr != std::string::npos) line->resize(cr);
  return true;
}

int32_t TTextFileRead::ReadLine(engine::TagVar& var) {
  std::string line;
  if (!NextLine(&line)) {
    var.AssignString("");
    return -1;
  }
  var.AssignString(line);
  return static_cast<int32_t>(line.size());
}

int32_t TTextFileRead::ReadLines(engine::TagVar& var) {
  std::string line;
  engine::TagVar key;
  int32_t n = 0;
  while (NextLine(&line)) {
    key.SetInt(n);
    engine::TagVar* element = var.Element(key);
    if (element == nullptr) break;
    element->AssignString(line);
    ++n;
  }
  return n;
}

int32_t TTextFileRead::MapLines(engine::TagVar& var) {
  std::string line;
  engine::TagVar key;
  int32_t number = 1;
  while (NextLine(&line)) {
    key.SetBytes(line.data(), line.size());
    engine::TagVar* element = var.Element(key);
    if (element == nullptr) break;
    element->AssignInt(number);
    ++number;
  }
  return number;
}

int64_t TTextFileRead::Remaining() const {
  const std::optional<int64_t> size = file_.Size();
  return size ? std::max<int64_t>(*size - position_, 0) : 0;
}

std::string TTextFileRead::ReadUpTo(int64_t limit) {
  std::string out;
  if (limit <= 0) return out;
  out.reserve(static_cast<size_t>(limit));
  while (static_cast<int64_t>(out.size()) < limit) {
    if (Available() == 0 && !Fill()) break;
    const size_t want = static_cast<size_t>(limit - static_cast<int64_t>(out.size()));
    size_t piece = std::min(Available(), want);
    if (binary_) {
      out.append(InputData(), piece);
      Consume(piece);
      continue;
    }
    // A CR at the end of the piece needs the byte after it: a CR LF pair
    // gives one character, so it still fits.
    if (InputData()[piece - 1] == '\r') {
      if (piece < Available()) {
        if (InputData()[piece] == '\n') ++piece;
      } else if (piece > 1) {
        --piece;  // the CR waits for the byte after it
      } else if (Fill()) {
        continue;
      }
    }
    Consume(platform::ReadTextMode(std::string_view(InputData(), piece), false, &out));
  }
  return out;
}

int32_t TTextFileRead::ReadBlock(int32_t count, engine::TagVar& var) {
  std::string bytes;
  if (is_open() && readable_ && !failed_) {
    FlushOutput();
    // Never more than the file can still give: a huge count on a small
    // file allocates only the file's rest.
    bytes = ReadUpTo(std::min<int64_t>(count, Remaining()));
  }
  var.AssignString(bytes);
  return static_cast<int32_t>(bytes.size());
}

int32_t TTextFileRead::ReadAll(engine::TagVar& var) {
  std::string bytes;
  if (is_open() && readable_ && !failed_) {
    FlushOutput();
    bytes = ReadUpTo(Remaining());
  }
  var.AssignString(bytes);
  return static_cast<int32_t>(bytes.size());
}

int32_t TTextFileRead::Seek(int32_t position) {
  if (!is_open() || position < 0) return position;
  FlushOutput();
  in_pos_ = in_len_ = 0;
  if (file_.Seek(position)) position_ = position;
  return position;
}

void TTextFileRead::WriteBytes(std::string_view bytes) {
  if (!is_open() || !writable_) return;
  DropInput();
  const size_t before = out_.size();
  if (binary_) {
    out_.append(bytes);
  } else {
    platform::AppendTextMode(bytes, &out_);
  }
  position_ += static_cast<int64_t>(out_.size() - before);
  if (out_.size() >= kTextFileBufferBytes) FlushOutput();
}

int32_t TTextFileRead::Write(const engine::TagVar& value) {
  if (value.kind == engine::kVarString) {
    WriteBytes(value.Bytes());
    return 0;
  }
  WriteBytes(value.ToText());
  FlushOutput();
  return 0;
}

}  // namespace services

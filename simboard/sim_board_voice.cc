// SimBoard: voices (plays and recordings in one id space), the E1 channel
// voice and key entries, DTMF sending and the conference media entries.
#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

// The event address of a conference group's media: "G2".
std::string GroupAddress(int32_t group) {
  std::string addr(1, 'G');
  addr += std::to_string(group);
  return addr;
}

}  // namespace

// --- Voices. ---

SimVoice* SimBoard::NewVoice(SimVoice::Kind kind, std::string addr) {
  auto voice = std::make_unique<SimVoice>();
  voice->id = next_voice_id_++;
  voice->kind = kind;
  voice->addr = std::move(addr);
  SimVoice* v = voice.get();
  voices_[v->id] = std::move(voice);
  clock_.Wake();
  return v;
}

std::shared_ptr<VoiceFileReader> SimBoard::OpenPlayFile(std::string_view file, int32_t offset,
                                                       int32_t length) {
  auto reader = std::make_shared<VoiceFileReader>();
  if (!reader->Open(std::string(file), offset > 0 ? offset : 0, length)) return nullptr;
  return reader;
}

std::shared_ptr<CaptureSpool> SimBoard::OpenRecordFile(std::string_view file, int32_t position) {
  auto spool = std::make_shared<CaptureSpool>();
  platform::FileOpenError why;
  if (!spool->Open(std::string(file), position, why)) return nullptr;
  return spool;
}

bool SimBoard::StartPlay(SimVoice& v, std::shared_ptr<VoiceFileReader> file,
                         std::string_view name, int32_t offset) {
  if (file == nullptr) return false;
  v.file = std::move(file);
  Post("PLAY", v.addr, std::string(name) + " " + std::to_string(offset));
  if (v.file->EmptyAtOpen()) {  // an offset beyond the end plays nothing
    v.file_ended = true;
    EndVoice(v);
  }
  return true;
}

bool SimBoard::StartRecord(SimVoice& v, std::shared_ptr<CaptureSpool> spool,
                           std::string_view name, int32_t max_bytes) {
  if (spool == nullptr) return false;
  v.spool = std::move(spool);
  v.max_bytes = max_bytes;
  Post("RECORD", v.addr, std::string(name) + " " + std::to_string(max_bytes));
  if (max_bytes <= 0) EndVoice(v);
  return true;
}

void SimBoard::EndVoice(SimVoice& v) {
  if (v.ended) return;
  v.ended = true;
  if (v.file != nullptr) {
    retired_files_.push_back(std::move(v.file));
    clock_.Wake();
  }
  v.ready.clear();
  v.ready_pos = 0;
  if (v.kind == SimVoice::Kind::kPlay) {
    Post("PLAYEND", v.addr, "");
  } else if (v.spool != nullptr) {
    stopped_records_.push_back(StoppedRecord{std::move(v.spool), v.addr, v.bytes});
  } else {
    Post("RECORDEND", v.addr, std::to_string(v.bytes));
  }
}

void SimBoard::FinishStoppedRecords(std::vector<StoppedRecord> stopped) {
  for (StoppedRecord& r : stopped) {
    r.spool->Flush();
    Post("RECORDEND", r.addr, std::to_string(r.bytes));
  }
  std::lock_guard<OwnedMutex> hold(mutex_);
  for (StoppedRecord& r : stopped) retired_captures_.push_back(std::move(r.spool));
  if (!stopped.empty()) clock_.Wake();
}

void SimBoard::DropVoice(int32_t id) {
  auto it = voices_.find(id);
  if (it == voices_.end()) return;
  EndVoice(*it->second);
  voices_.erase(it);
}

int32_t SimBoard::StartLinePlay(int32_t line, std::shared_ptr<VoiceFileReader> file,
                                std::string_view name, int32_t offset) {
  if (line < 0) return -1;
  StopLinePlay(line);
  SimLine& l = lines_[line];
  SimVoice* v = NewVoice(SimVoice::Kind::kPlay, l.name);
  if (!StartPlay(*v, std::move(file), name, offset)) {
    voices_.erase(v->id);
    return -1;
  }
  l.play = v;
  l.play_id = v->id;
  Clock(l);
  return v->id;
}

int32_t SimBoard::StartLineRecord(int32_t line, std::shared_ptr<CaptureSpool> spool,
                                  std::string_view name, int32_t max_bytes) {
  if (line < 0) return -1;
  StopLineRecord(line);
  SimLine& l = lines_[line];
  SimVoice* v = NewVoice(SimVoice::Kind::kRecord, l.name);
  if (!StartRecord(*v, std::move(spool), name, max_bytes)) {
    voices_.erase(v->id);
    return -1;
  }
  l.record = v;
  l.record_id = v->id;
  Clock(l);
  return v->id;
}

void SimBoard::StopLinePlay(int32_t line) {
  if (line < 0) return;
  SimLine& l = lines_[line];
  if (l.play_id >= 0) DropVoice(l.play_id);
  l.play = nullptr;
  l.play_id = -1;
}

void SimBoard::StopLineRecord(int32_t line) {
  if (line < 0) return;
  SimLine& l = lines_[line];
  if (l.record_id >= 0) DropVoice(l.record_id);
  l.record = nullptr;
  l.record_id = -1;
}

void SimBoard::StopAllMedia() {
  for (size_t i = 0; i < lines_.size(); ++i) {
    int32_t line = static_cast<int32_t>(i);
    StopLinePlay(line);
    StopLineRecord(line);
    if (lines_[i].capture != nullptr) retired_captures_.push_back(std::move(lines_[i].capture));
  }
  clock_.Wake();
  for (SimGroup& g : groups_) {
    g.play = g.record = nullptr;
    g.play_id = g.record_id = -1;
  }
  while (!voices_.empty()) DropVoice(voices_.begin()->first);
}

void SimBoard::CheckFreed(int32_t id, const char* role) {
  if (strict_ && freed_ids_.count(id) != 0) {
    Violation(std::string(role) + " used the freed voice id " + std::to_string(id));
  }
}

// --- E1 channel voice. ---

// The entries that start a play or a recording open its file first, before
// the lock (a line that does not exist opens nothing).
int32_t SimBoard::ChannelPlay(int32_t ch, std::string_view file, int32_t offset, int32_t length) {
  const int32_t line = LineOfChannel(ch);
  auto opened = line < 0 ? nullptr : OpenPlayFile(file, offset, length);
  Entry e(*this, kLibE1, 249, "ChannelPlay", ch, file, offset, length);
  return e.Done(StartLinePlay(line, std::move(opened), file, offset));
}

int32_t SimBoard::ChannelRecord(int32_t ch, std::string_view file, int32_t position,
                                int32_t max_bytes) {
  const int32_t line = LineOfChannel(ch);
  auto opened = line < 0 ? nullptr : OpenRecordFile(file, position);
  Entry e(*this, kLibE1, 250, "ChannelRecord", ch, file, position, max_bytes);
  int32_t id = StartLineRecord(line, std::move(opened), file, max_bytes);
  return e.Done(id > 0 ? id : 0);  // non-zero is success
}

int32_t SimBoard::ChannelPlayId(int32_t ch) {
  Entry e(*this, kLibE1, 37, "ChannelPlayId", ch);
  int32_t line = LineOfChannel(ch);
  return e.Done(line < 0 ? -1 : lines_[line].play_id);
}

int32_t SimBoard::ChannelRecordId(int32_t ch) {
  Entry e(*this, kLibE1, 38, "ChannelRecordId", ch);
  int32_t line = LineOfChannel(ch);
  return e.Done(line < 0 ? -1 : lines_[line].record_id);
}

int32_t SimBoard::IsVoiceEnded(int32_t id) {
  Entry e(*this, kLibE1, 123, "IsVoiceEnded", id);
  CheckFreed(id, "e1:123 IsVoiceEnded");
  auto it = voices_.find(id);
  return e.Done(it == voices_.end() || it->second->ended ? 1 : 0);
}

int32_t SimBoard::IsFilePlay(int32_t id) {
  Entry e(*this, kLibE1, 128, "IsFilePlay", id);
  CheckFreed(id, "e1:128 IsFilePlay");
  auto it = voices_.find(id);
  return e.Done(it != voices_.end() && it->second->kind == SimVoice::Kind::kPlay ? 1 : 0);
}

int32_t SimBoard::IsIndexPlay(int32_t id) {
  Entry e(*this, kLibE1, 129, "IsIndexPlay", id);
  CheckFreed(id, "e1:129 IsIndexPlay");
  return e.Done(0);  // the board has no index plays
}

void SimBoard::StopFilePlay(int32_t ch) {
  Entry e(*this, kLibE1, 161, "StopFilePlay", ch);
  StopLinePlay(LineOfChannel(ch));
}

void SimBoard::StopIndexPlay(int32_t ch) {
  Entry e(*this, kLibE1, 153, "StopIndexPlay", ch);
  StopLinePlay(LineOfChannel(ch));
}

void SimBoard::FreeVoice(int32_t id) {
  Entry e(*this, kLibE1, 122, "FreeVoice", id);
  CheckFreed(id, "e1:122 FreeVoice");
  if (strict_) freed_ids_.insert(id);  // kept for the strict checks only
  for (SimLine& l : lines_) {
    if (l.play_id == id) {
      l.play = nullptr;
      l.play_id = -1;
    }
    if (l.record_id == id) {
      l.record = nullptr;
      l.record_id = -1;
    }
  }
  for (SimGroup& g : groups_) {
    if (g.play_id == id) {
      g.play = nullptr;
      g.play_id = -1;
    }
    if (g.record_id == id) {
      g.record = nullptr;
      g.record_id = -1;
    }
  }
  DropVoice(id);
}

void SimBoard::StopChannelRecord(int32_t ch) {
  Entry e(*this, kLibE1, 168, "StopChannelRecord", ch);
  StopLineRecord(LineOfChannel(ch));
}

// --- Keys and DTMF. ---

int32_t SimBoard::LineKey(int32_t line) {
  if (line < 0) return 0;
  SimLine& l = lines_[line];
  FinishDueTimers(l, SimClock::now());
  if (l.keys.empty()) return 0;
  char key = l.keys.front();
  l.keys.pop_front();
  return static_cast<unsigned char>(key);
}

void SimBoard::ClearLineKeys(int32_t line) {
  if (line < 0) return;
  SimLine& l = lines_[line];
  FinishDueTimers(l, SimClock::now());
  l.keys.clear();
}

void SimBoard::ClearChannelKeys(int32_t ch) {
  Entry e(*this, kLibE1, 257, "ClearChannelKeys", ch);
  ClearLineKeys(LineOfChannel(ch));
}

int32_t SimBoard::ChannelKey(int32_t ch) {
  Entry e(*this, kLibE1, 259, "ChannelKey", ch);
  return e.Done(LineKey(LineOfChannel(ch)));
}

void SimBoard::SendDtmf(int32_t ch, std::string_view digits) {
  Entry e(*this, kLibE1, 265, "SendDtmf", ch, digits);
  int32_t line = LineOfChannel(ch);
  if (line < 0) return;
  SimLine& l = lines_[line];
  l.dtmf_running = true;
  Clock(l);
  l.dtmf = std::string(digits);
  l.dtmf_due = SimClock::now() + std::chrono::milliseconds(static_cast<int64_t>(digits.size()) *
                                                           config_.dtmf_digit_ms);
}

int32_t SimBoard::IsDtmfSent(int32_t ch) {
  Entry e(*this, kLibE1, 266, "IsDtmfSent", ch);
  int32_t line = LineOfChannel(ch);
  if (line < 0) return e.Done(1);
  SimLine& l = lines_[line];
  FinishDueTimers(l, SimClock::now());
  return e.Done(l.dtmf_running ? 0 : 1);
}

// --- Conference media. ---

int32_t SimBoard::ConfPlay(int32_t group, std::string_view file, int32_t offset,
                           int32_t length) {
  auto opened = GroupValid(group) ? OpenPlayFile(file, offset, length) : nullptr;
  Entry e(*this, kLibE1, 296, "ConfPlay", group, file, offset, length);
  if (!GroupValid(group)) return e.Done(-1);
  SimGroup& g = groups_[group];
  if (g.play_id >= 0) DropVoice(g.play_id);
  g.play = nullptr;
  g.play_id = -1;
  SimVoice* v = NewVoice(SimVoice::Kind::kPlay, GroupAddress(group));
  if (!StartPlay(*v, std::move(opened), file, offset)) {
    voices_.erase(v->id);
    return e.Done(-1);
  }
  g.play = v;
  g.play_id = v->id;
  return e.Done(v->id);
}

void SimBoard::ConfStopPlay(int32_t id) {
  Entry e(*this, kLibE1, 299, "ConfStopPlay", id);
  CheckFreed(id, "e1:299 ConfStopPlay");
  for (SimGroup& g : groups_) {
    if (g.play_id == id) {
      g.play = nullptr;
      g.play_id = -1;
      DropVoice(id);
    }
  }
}

int32_t SimBoard::ConfRecord(int32_t group, std::string_view file, int32_t position,
                             int32_t max_bytes) {
  auto opened = GroupValid(group) ? OpenRecordFile(file, position) : nullptr;
  Entry e(*this, kLibE1, 300, "ConfRecord", group, file, position, max_bytes);
  if (!GroupValid(group)) return e.Done(-1);
  SimGroup& g = groups_[group];
  if (g.record_id >= 0) DropVoice(g.record_id);
  g.record = nullptr;
  g.record_id = -1;
  SimVoice* v = NewVoice(SimVoice::Kind::kRecord, GroupAddress(group));
  if (!StartRecord(*v, std::move(opened), file, max_bytes)) {
    voices_.erase(v->id);
    return e.Done(-1);
  }
  g.record = v;
  g.record_id = v->id;
  return e.Done(v->id);
}

void SimBoard::ConfStopRecord(int32_t id) {
  Entry e(*this, kLibE1, 301, "ConfStopRecord", id);
  CheckFreed(id, "e1:301 ConfStopRecord");
  for (SimGroup& g : groups_) {
    if (g.record_id == id) {
      g.record = nullptr;
      g.record_id = -1;
      DropVoice(id);
    }
  }
}

}  // namespace simboard

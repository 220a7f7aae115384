// SimBoard: the board's files, moved by the media thread between ticks
// without the board's lock. Under the lock it notes the work (plays and
// injected files to read ahead, recordings and captures to write, full
// recordings to finish, fax documents to store, ended files to close), does
// the reads and writes unlocked, and takes the results back under the lock.
// A file that is slow or stuck therefore holds only the media thread's next
// tick, never a line waiting for the board.
#include <algorithm>

#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

// Bytes of a play or of injected audio kept read ahead of the ticks (about
// 1 s).
constexpr size_t kReadAhead = kVoiceFileBlock;

void ReadAhead(FileRead& r) {
  r.bytes.resize(kReadAhead);
  size_t n = r.file->Read(reinterpret_cast<uint8_t*>(r.bytes.data()), kReadAhead);
  r.bytes.resize(n);
  // Looking one block further tells a file that ends exactly here.
  r.ended = n < kReadAhead || r.file->AtEnd();
}

}  // namespace

void SimBoard::PumpFarEndFiles() {
  GatherFarEndWork();
  for (FileRead& r : reads_) ReadAhead(r);
  for (const auto& spool : flushes_) spool->Flush();
  for (const RecordFinish& f : record_finishes_) f.spool->Finish();
  for (FaxDocument& d : fax_documents_) {
    if (d.rest) d.bytes += d.rest->ReadAll();
    VoiceFileWriter out;
    d.written = out.Open(d.file, 0);
    out.Write(reinterpret_cast<const uint8_t*>(d.bytes.data()), d.bytes.size());
    out.Close();
  }
  AcceptFarEndWork();
  // The last owners of finished files close them here, unlocked.
  reads_.clear();
  flushes_.clear();
  record_finishes_.clear();
  fax_documents_.clear();
  closes_.clear();
}

void SimBoard::GatherFarEndWork() {
  std::lock_guard<OwnedMutex> hold(mutex_);
  // Fax documents first: one takes the front injected file whole.
  const SimClock::time_point now = SimClock::now();
  for (size_t f = 0; f < faxes_.size(); ++f) {
    SimFax& fax = faxes_[f];
    if (!FaxDocumentDue(fax, now)) continue;
    SimLine& line = lines_[fax.line];
    fax.writing = true;
    FaxDocument& d = fax_documents_.emplace_back();
    d.fax = f;
    d.file = fax.file;
    d.bytes.swap(line.inject_ready);
    if (!line.injects.empty()) {
      d.rest = std::move(line.injects.front());
      line.injects.pop_front();
    }
  }
  UpdateClockedLines();
  for (int32_t i : clocked_lines_) {
    SimLine& l = lines_[static_cast<size_t>(i)];
    if (!l.HasFarEndFiles()) continue;
    if (!l.injects.empty() && l.inject_ready.size() < kReadAhead) {
      reads_.push_back(FileRead{i, 0, l.injects.front(), {}, false});
    }
    if (l.capture != nullptr && l.capture->Due()) flushes_.push_back(l.capture);
  }
  GatherVoiceWork();
  for (auto& spool : retired_captures_) flushes_.push_back(std::move(spool));
  retired_captures_.clear();
  closes_.swap(retired_files_);
}

// REQUIRES: the lock held.
void SimBoard::GatherVoiceWork() {
  for (const auto& [id, voice] : voices_) {
    SimVoice& v = *voice;
    if (v.ended) continue;
    if (v.kind == SimVoice::Kind::kPlay) {
      if (!v.file_ended && v.ReadyBytes() < kReadAhead) {
        reads_.push_back(FileRead{-1, id, v.file, {}, false});
      }
    } else if (v.full) {
      record_finishes_.push_back(RecordFinish{id, v.spool});
    } else if (v.spool->Due()) {
      flushes_.push_back(v.spool);
    }
  }
}

void SimBoard::AcceptFarEndWork() {
  if (reads_.empty() && record_finishes_.empty() && fax_documents_.empty()) return;
  std::lock_guard<OwnedMutex> hold(mutex_);
  for (const FileRead& r : reads_) AcceptFileRead(r);
  for (const RecordFinish& f : record_finishes_) {
    auto it = voices_.find(f.voice);
    if (it == voices_.end() || it->second->spool != f.spool) continue;  // stopped meanwhile
    it->second->spool.reset();  // written and closed: the end can be told
    EndVoice(*it->second);
  }
  for (const FaxDocument& d : fax_documents_) {
    SimFax& fax = faxes_[d.fax];
    if (!fax.writing || fax.file != d.file) continue;  // released meanwhile
    fax.receive_result = d.written ? 1 : 0;
    EndFax(fax, d.written ? kFaxDone : kFaxNothingReceived);
  }
}

// REQUIRES: the lock held.
void SimBoard::AcceptFileRead(const FileRead& r) {
  if (r.voice == 0) {
    SimLine& l = lines_[r.line];
    if (l.injects.empty() || l.injects.front() != r.file) return;
    l.inject_ready += r.bytes;
    if (r.ended) l.injects.pop_front();
    return;
  }
  auto it = voices_.find(r.voice);
  if (it == voices_.end() || it->second->file != r.file) return;  // stopped meanwhile
  SimVoice& v = *it->second;
  v.ready.erase(0, v.ready_pos);
  v.ready_pos = 0;
  v.ready += r.bytes;
  v.file_ended = r.ended;
  if (v.ReadyBytes() == 0 && v.file_ended) EndVoice(v);  // nothing was left to play
}

bool SimBoard::FaxDocumentDue(const SimFax& fax, SimClock::time_point now) const {
  return fax.running && !fax.sending && !fax.writing && fax.due <= now &&
         lines_[fax.line].HasInject();
}

}  // namespace simboard

// SimBoard: the far end's files, moved by the media thread between ticks
// without the board's lock. Under the lock it notes the work (injected
// files to read ahead, captures to write, fax documents to store), does the
// reads and writes unlocked, and takes the results back under the lock. A
// file that is slow or stuck therefore holds only the media thread's next
// tick, never a line waiting for the board.
#include <algorithm>

#include "simboard/sim_board_entry.h"

namespace simboard {
namespace {

// Bytes of injected audio kept read ahead of the ticks (about 1 s).
constexpr size_t kInjectReadAhead = kVoiceFileBlock;

}  // namespace

void SimBoard::PumpFarEndFiles() {
  GatherFarEndWork();
  for (InjectRead& r : inject_reads_) {
    r.bytes.resize(kInjectReadAhead);
    size_t n = r.file->Read(reinterpret_cast<uint8_t*>(r.bytes.data()), kInjectReadAhead);
    r.bytes.resize(n);
    r.ended = n < kInjectReadAhead;
  }
  for (const auto& spool : flushes_) spool->Flush();
  for (FaxDocument& d : fax_documents_) {
    if (d.rest) d.bytes += d.rest->ReadAll();
    VoiceFileWriter out;
    d.written = out.Open(d.file, 0);
    out.Write(reinterpret_cast<const uint8_t*>(d.bytes.data()), d.bytes.size());
    out.Close();
  }
  AcceptFarEndWork();
  // The last owners of finished files close them here, unlocked.
  inject_reads_.clear();
  flushes_.clear();
  fax_documents_.clear();
}

void SimBoard::GatherFarEndWork() {
  std::lock_guard<std::mutex> hold(mutex_);
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
  for (size_t i = 0; i < lines_.size(); ++i) {
    SimLine& l = lines_[i];
    if (!l.HasFarEndFiles()) continue;
    if (!l.injects.empty() && l.inject_ready.size() < kInjectReadAhead) {
      inject_reads_.push_back(InjectRead{static_cast<int32_t>(i), l.injects.front(), {}, false});
    }
    if (l.capture != nullptr && l.capture->Due()) flushes_.push_back(l.capture);
  }
  for (auto& spool : retired_captures_) flushes_.push_back(std::move(spool));
  retired_captures_.clear();
}

void SimBoard::AcceptFarEndWork() {
  if (inject_reads_.empty() && fax_documents_.empty()) return;
  std::lock_guard<std::mutex> hold(mutex_);
  for (InjectRead& r : inject_reads_) {
    SimLine& l = lines_[r.line];
    if (l.injects.empty() || l.injects.front() != r.file) continue;
    l.inject_ready += r.bytes;
    if (r.ended) l.injects.pop_front();
  }
  for (const FaxDocument& d : fax_documents_) {
    SimFax& fax = faxes_[d.fax];
    if (!fax.writing || fax.file != d.file) continue;  // released meanwhile
    fax.receive_result = d.written ? 1 : 0;
    EndFax(fax, d.written ? kFaxDone : kFaxNothingReceived);
  }
}

bool SimBoard::FaxDocumentDue(const SimFax& fax, SimClock::time_point now) const {
  return fax.running && !fax.sending && !fax.writing && fax.due <= now &&
         lines_[fax.line].HasInject();
}

}  // namespace simboard

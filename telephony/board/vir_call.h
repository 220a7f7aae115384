// TagVirCall: the call object of a virtual line, whose telephone is the
// operator's PC. Voice plays on the sound card (the base class's sound-card
// operations), records from it (Record over TagWaveRecord), and keys are
// the text of the line's Keys cell (frame/monitor.h). There is no
// signalling: the call control of the base class succeeds at once. The line
// can bridge its sound card to the media channel of a SIP line (LinkTo,
// StartRtp); this system has no SIP lines, so LinkTo finds none, and the
// media channel reports success and moves no voice.
//
// Thread rules: the operations run on the line's thread; while the bridge
// runs, two media threads of the line exchange buffers with the sound card
// and read mediaRunning and stopFlag (atomics). EndRtp and the destructor
// end both threads.
#ifndef VTTEL_TELEPHONY_BOARD_VIR_CALL_H_
#define VTTEL_TELEPHONY_BOARD_VIR_CALL_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/thread.h"
#include "platform/wave_device.h"
#include "telephony/vt_call.h"

namespace telephony {

class TagVirCard;

// The bridge's buffers: 40 ms of A-law each, 4 for input, 4 for output.
inline constexpr uint32_t kMediaBufferBytes = 320;
inline constexpr size_t kMediaBuffersEachWay = 4;
// Results of LinkTo.
inline constexpr int32_t kLinkBadLine = -1;
inline constexpr int32_t kLinkNoSipLine = -200;

class TagVirCall : public TagVtCall {
 public:
  // The call of global line `line` of card (which may be null: no card,
  // so no other line can be found).
  TagVirCall(int32_t line, TagVirCard* card);
  ~TagVirCall() override;

  void ClearKeys() override;                                                // 6
  // 20: records the sound card into file until max_seconds pass (> 0), a
  // key is typed (stop_on_key) or the line stops: 0; -2 when the file
  // cannot be created, -1 when the recording cannot start.
  int32_t Record(std::string_view file, int32_t max_seconds, int32_t stop_on_key) override;
  int32_t KeysLen() override;                                               // 25
  int32_t LinkTo(int32_t line, int32_t mode) override;                      // 47
  int32_t UnlinkTo(int32_t line, int32_t mode) override;                    // 48
  int32_t UnlinkAll() override;                                             // 49
  int32_t ConnectMedia(TagVtCall* other) override;                          // 72
  int32_t DisconnectMedia() override;                                       // 73
  // 74: 0 running, -1 the input device, -2 the output device did not open.
  int32_t StartRtp() override;
  int32_t EndRtp() override;                                                // 75

  // --- The change wait: the bell of the line's Keys cell in the monitor
  // table (a stop rings it), else the stop bell. ---
  uint32_t ChangeCount() override;
  void WaitChange(uint32_t seen, uint32_t timeout_ms) override;
  // kToldOnline while IsOnline's watchdog is idle (nothing outside the
  // line's thread changes its call); kToldKeysCell while the table exists.
  uint8_t ToldChanges() override;
  void WakeStopWait() override;

  const int32_t monitorLine;  // the line's row in the monitor (its Keys cell)
  std::atomic<int32_t> mediaRunning{0};

 private:
  void RunInput();
  void RunOutput();
  void EndMediaThreads();

  TagVirCard* const card_;
  std::mutex mediaMu_;
  std::unique_ptr<platform::WaveIn> waveIn_;    // guarded by mediaMu_
  std::unique_ptr<platform::WaveOut> waveOut_;  // guarded by mediaMu_
  platform::WaveNoticeQueue inNotices_, outNotices_;
  platform::Thread inThread_, outThread_;
  std::array<std::array<uint8_t, kMediaBufferBytes>, kMediaBuffersEachWay> inBuffers_{};
  std::array<std::array<uint8_t, kMediaBufferBytes>, kMediaBuffersEachWay> outBuffers_{};
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_VIR_CALL_H_

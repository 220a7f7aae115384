// The system speech voice on the espeak-ng program: one child process per
// utterance (nothing of it is linked), GBK text handed over as UTF-8, the
// 22,050 Hz samples it writes resampled to 8,000 Hz with libsamplerate.
//
// The program is VTTEL_ESPEAK when set, else "espeak-ng" from PATH. The
// Chinese flag picks the voice "cmn-latn-pinyin" (language id 804), clear
// "en-us" (409). The XML flag runs espeak-ng in its markup mode (SSML):
// SSML elements are honoured; the SAPI-only elements (<volume>, <rate>,
// <pitch>, <emph>, <silence>, <spell>, <pron>, <context>, <partofsp>,
// <voice>, <lang>, <bookmark>) are not known to it and are skipped, their
// text spoken as usual.
//
// Results keep the form of the speech interface's: 0 success, fixed
// negative codes otherwise (kSpeechNoVoice, kSpeechFailed; -1 when the
// output file cannot be made).
//
// TagMsTTS: one per run of a main script, used on the line's thread.
// TagTTS: one utterance on the PC's sound card (the call object's
// PcSpeech), used on the line's thread; a thread of its own waits for the
// device's end of play.
#ifndef VTTEL_TELEPHONY_VOICE_ESPEAK_SPEECH_H_
#define VTTEL_TELEPHONY_VOICE_ESPEAK_SPEECH_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/thread.h"
#include "platform/wave_device.h"
#include "telephony/voice/pc_voice.h"

namespace telephony {

// The speech program is missing (REGDB_E_CLASSNOTREG).
inline constexpr int32_t kSpeechNoVoice = static_cast<int32_t>(0x80040154u);
// The program failed or wrote no speech (E_FAIL).
inline constexpr int32_t kSpeechFailed = static_cast<int32_t>(0x80004005u);
// The output file could not be made.
inline constexpr int32_t kSpeechNoStream = -1;

inline constexpr const char* kEspeakProgram = "espeak-ng";
inline constexpr const char* kEspeakChineseVoice = "cmn-latn-pinyin";
inline constexpr const char* kEspeakEnglishVoice = "en-us";

// Format types of speech files: always one channel at 8,000 Hz.
enum SpeechFileType : int32_t {
  kSpeechPcm16 = 0,
  kSpeechAlaw = 1,
  kSpeechUlaw = 2,  // any other value: 8-bit PCM
};

// The path of the speech program; empty when it cannot be found.
std::string SpeechProgramPath();

// Speaks text (GBK; with from_file the script path of a file holding it)
// into 8 kHz 16-bit samples. 0, kSpeechFailed (also when should_stop, asked
// while the program runs, said yes: the program is killed).
int32_t SynthesizeSpeech(const std::string& program, std::string_view text, bool chinese,
                         bool xml, bool from_file, std::vector<int16_t>* samples,
                         const std::function<bool()>& should_stop = {});

// 22,050 Hz (or any rate) samples -> 8,000 Hz.
std::vector<int16_t> ResampleTo8k(const std::vector<int16_t>& samples, uint32_t rate);

// Samples -> the bytes of a WAV file of a format type (46-byte header).
std::string SpeechWavBytes(const std::vector<int16_t>& samples, int32_t type);

// The system speech voice of one script run, speaking into files.
class TagMsTTS {
 public:
  // Looks for the program; a missing one is the creation result, logged
  // always (once per run, as a run makes one voice).
  TagMsTTS();
  TagMsTTS(const TagMsTTS&) = delete;
  TagMsTTS& operator=(const TagMsTTS&) = delete;

  int32_t creation_result() const { return creation_result_; }
  // Speaks text into a WAV file at path (a script path) of a format type:
  // 0, the creation result, kSpeechNoStream, kSpeechFailed. should_stop
  // ends the speaking early (the line is stopped).
  int32_t SpeakToFile(std::string_view text, std::string_view path, bool chinese, int32_t type,
                      const std::function<bool()>& should_stop = {});

 private:
  std::string program_;
  int32_t creation_result_ = 0;
};

// One utterance on a wave-out device, 8 kHz 16-bit PCM.
class TagTTS : public PcSpeech {
 public:
  // device: kWaveDefaultDevice or a number; line names the player.
  TagTTS(int32_t device, int32_t line);
  ~TagTTS() override;
  TagTTS(const TagTTS&) = delete;
  TagTTS& operator=(const TagTTS&) = delete;

  // Synthesizes the text (in Chinese) or the file and starts playing it.
  int32_t Start(std::string_view text, bool from_file, bool is_xml) override;
  bool Ended() override { return done_.load(std::memory_order_acquire); }

 private:
  void WaitForEnd();

  const int32_t device_;
  const std::string tag_;
  std::string program_;
  int32_t creation_result_ = 0;
  std::vector<uint8_t> pcm_;  // the buffer the device plays
  platform::WaveNoticeQueue notices_;
  std::unique_ptr<platform::WaveOut> out_;
  platform::Thread waiter_;
  std::atomic<bool> done_{true};
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_ESPEAK_SPEECH_H_

// ScratchVoice: a voice held in memory ("LoadVocFile(") written to a file of
// its own for the length of one play, since the players of every line kind
// (the board, the sound card) play files.
//
// The file lies in the user's private runtime folder (platform/runtime_dir.h,
// mode 0700), never in the working or program folder, so no file of the
// user's is overwritten and nothing is left there. Its name carries the line
// and the id of the thread that writes it: each line's thread has a file of
// its own, in every process that shares the folder. It keeps the form the
// voice's file had: bytes beginning with "RIFF" are a WAV voice, named
// ".WAV" (the board starts past its header as for any WAV voice); any other
// bytes are headerless A-law, named ".ALW", which the board plays from its
// first byte and the sound card as A-law (a ".VOX" name would make the sound
// card decode it as ADPCM).
//
// Thread rules: made, used and destroyed on one line's thread.
#ifndef VTTEL_TELEPHONY_VOICE_SCRATCH_VOICE_H_
#define VTTEL_TELEPHONY_VOICE_SCRATCH_VOICE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace telephony {

class ScratchVoice {
 public:
  // Writes bytes into the scratch file of line on the calling thread.
  ScratchVoice(int32_t line, std::string_view bytes);
  // Removes the file.
  ~ScratchVoice();
  ScratchVoice(const ScratchVoice&) = delete;
  ScratchVoice& operator=(const ScratchVoice&) = delete;

  // False when there is no runtime folder or the file could not be written.
  bool written() const { return written_; }
  // The file as the OS names it (empty without a runtime folder), and as a
  // script path names it (what Play takes).
  const std::string& host() const { return host_; }
  const std::string& scriptPath() const { return script_path_; }

 private:
  std::string host_;
  std::string script_path_;
  bool written_ = false;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_SCRATCH_VOICE_H_

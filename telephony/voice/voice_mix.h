// Mixing two voice files into a third: a prompt over background music, say.
//
// Both files are decoded (voc_file.h, each with its gain) and added sample
// by sample, every sum held within -32467..32467:
//  - a second file shorter than the first is added into the first from
//    sample offset_ms x 8 on; samples that would land before the first
//    sample or past the first file's end are skipped;
//  - otherwise the first file is added into the second from sample 0 and
//    the offset is not used.
// The shorter file's last 6000 samples are left out when it has more than
// 80000. The sum has the length and the sample type of the longer file; it
// is written with a 44-byte header, as 16-bit PCM when that file is PCM and
// as A-law otherwise (a μ-law file comes back as A-law).
//
// Logging-on log: "Mix:%s - %s", "Mix 1.", "Mix 2.", "Mix: 至少有一个文件不正确.",
// "'%s' 无法创建!", "Mix 3.".
//
// Called on the line's thread; the files are not locked.
#ifndef VTTEL_TELEPHONY_VOICE_VOICE_MIX_H_
#define VTTEL_TELEPHONY_VOICE_VOICE_MIX_H_

#include <cstdint>
#include <string_view>

#include "telephony/voice/voc_file.h"

namespace telephony {

inline constexpr int kMixDone = 1;
inline constexpr int kMixBadInput = -1;  // a file did not load
inline constexpr int kMixNoOutput = -2;  // the output cannot be created or written

// The shorter file loses its last kMixTailCut samples when it has more than
// kMixTailCutAbove.
inline constexpr size_t kMixTailCutAbove = 80000;
inline constexpr size_t kMixTailCut = 6000;
inline constexpr int64_t kMixSamplesPerMs = 8;

// Mixes the voices at the script paths first and second into output.
int MixVocFiles(std::string_view first, float first_gain, int32_t offset_ms,
                std::string_view second, float second_gain, std::string_view output);

// Adds second into first (the rule above) and returns the one that holds
// the sum.
TagVocFile& MixSamples(TagVocFile& first, TagVocFile& second, int32_t offset_ms);

// Writes a decoded voice to a script path with a 44-byte header: 16-bit PCM
// or A-law. 0 when written, -1 (logged "'%s' 无法创建!") when the file cannot
// be created or written; a file that was not fully written is removed.
int WritePcm16Wav(const TagVocFile& voice, std::string_view path);
int WriteAlawWav(const TagVocFile& voice, std::string_view path);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOICE_MIX_H_

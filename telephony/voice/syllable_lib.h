// CGetHypy: the syllable voice library. It turns GB text into pinyin
// syllable names and joins the recorded clips of those syllables, taken from
// the library file "VtVocLib.dat", into one voice file (8 kHz A-law, with
// the 46-byte WAV header when the name ends ".wav" or ".WAV", else raw).
//
// The library file (little-endian): N, clip base, table distance (u32
// each); N entries of {8-byte scrambled name (voc_lib_key.h), u32 clip
// offset from the clip base, u32 clip length}; the clips; and from clip
// base + table distance to the end the pinyin table: one 10-byte record per
// GB2312 character from row 0xB0 on, its first 7 bytes the syllable name.
// A file whose entries, clip base or table lie beyond its end is refused;
// a clip running past the end gives the bytes that exist, at most
// kMaxClipBytes.
//
// Thread rules: every method may be called from any line's thread at once.
// Loading happens once, under mu_ with a second look at the state; after a
// successful load the table, the polyphone words and the index never
// change, so the text walk reads them without the lock. Clips are read
// through a file handle of the calling thread.
#ifndef VTTEL_TELEPHONY_VOICE_SYLLABLE_LIB_H_
#define VTTEL_TELEPHONY_VOICE_SYLLABLE_LIB_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace telephony {

inline constexpr const char* kVocLibFileName = "VtVocLib.dat";
// At most this much of a text is spoken, and of a clip joined.
inline constexpr size_t kMaxSpeechTextBytes = 2048;
inline constexpr uint32_t kMaxClipBytes = 10240;
// Library layout.
inline constexpr size_t kVocLibHeaderBytes = 12;
inline constexpr size_t kVocLibEntryBytes = 16;
inline constexpr size_t kVocLibNameBytes = 8;
inline constexpr size_t kPinyinRecordBytes = 10;
inline constexpr size_t kPinyinNameBytes = 7;
// Results.
inline constexpr int32_t kVocLibLoaded = 0;
inline constexpr int32_t kVocLibNotLoaded = -1;
inline constexpr int32_t kVocNoSpeech = -1;     // no syllable, or the output not created
inline constexpr int32_t kVocLibUnreadable = -2;  // the library cannot be opened for clips

class CGetHypy {
 public:
  CGetHypy() = default;
  CGetHypy(const CGetHypy&) = delete;
  CGetHypy& operator=(const CGetHypy&) = delete;

  // The process-wide library.
  static CGetHypy& Instance();

  // Loads directory + "VtVocLib.dat" (a backslash is added to a directory
  // without one) unless loaded already (then 0, whatever the directory).
  // 0 loaded; -1 the file is missing or malformed (logged), retried at the
  // next call.
  int32_t LoadVocLib(std::string_view directory);
  bool loaded() const { return state_.load(std::memory_order_acquire) == kVocLibLoaded; }
  // Forgets the library, so that the next use loads one again (tests that
  // each bring a library of their own). REQUIRES: nobody uses the object.
  void Unload();

  // The syllable names of (the first 2048 bytes of) text; their number, 0
  // when not loaded.
  int32_t TextToSyllables(std::string_view text, std::vector<std::string>* list) const;

  // Joins the clips of text's syllables into output_path (a script path):
  // the number of syllables (names without a clip count too), -1 when the
  // text gives none (no file made) or the output cannot be created or
  // written (a full disk; logged), -2 when the library cannot be opened (the
  // output keeps what was written).
  int32_t TextToVocFile(std::string_view text, std::string_view output_path);

 private:
  struct TagWord {
    uint32_t offset;  // from the clip base
    uint32_t length;
  };
  struct DuoyinZi {
    const char* word;  // two GB characters
    const char* syllable;
    bool first;  // the fixed reading is the first character's
  };

  int32_t LoadLocked(std::string_view directory);
  // The syllables of the GB2312 pair at text[i], text[i + 1].
  void PairSyllables(std::string_view text, size_t i, std::vector<std::string>* list) const;
  std::string TableSyllable(uint8_t lead, uint8_t trail) const;
  bool FindClip(const std::string& name, TagWord* word) const;

  static const DuoyinZi kPolyphones[];

  std::map<std::string, TagWord> index_;  // guarded by mu_ while loading
  uint32_t clip_base_ = 0;
  std::string directory_;
  std::string path_;
  mutable std::mutex mu_;
  std::vector<uint8_t> table_;  // the pinyin table; fixed once loaded
  std::atomic<int32_t> state_{kVocLibNotLoaded};
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_SYLLABLE_LIB_H_

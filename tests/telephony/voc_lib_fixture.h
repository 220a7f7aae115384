// Small voice libraries "VtVocLib.dat" for the speech tests: named clips,
// each a distinct byte pattern, and a pinyin table holding only the
// characters a test speaks.
#ifndef VTTEL_TESTS_TELEPHONY_VOC_LIB_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_VOC_LIB_FIXTURE_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "telephony/voice/syllable_lib.h"
#include "telephony/voice/voc_lib_key.h"
#include "tests/test_support.h"

namespace telephony {

class VocLibBuilder {
 public:
  // A clip of `length` bytes, all of one value that no other clip uses.
  VocLibBuilder& Clip(const std::string& name, size_t length) {
    clips_.emplace_back(name, std::string(length, static_cast<char>(0x10 + clips_.size())));
    return *this;
  }
  VocLibBuilder& ClipBytes(const std::string& name, std::string bytes) {
    clips_.emplace_back(name, std::move(bytes));
    return *this;
  }
  // The syllable of a GB2312 character (two GBK bytes, row 0xB0 on).
  VocLibBuilder& Reading(const std::string& gb_char, const std::string& syllable) {
    readings_[gb_char] = syllable;
    return *this;
  }

  // The clip bytes of a name.
  std::string ClipOf(const std::string& name) const {
    for (const auto& [n, bytes] : clips_) {
      if (n == name) return bytes;
    }
    return {};
  }

  std::string Bytes() const {
    std::string entries;
    std::string clips;
    for (const auto& [name, bytes] : clips_) {
      std::string scrambled(kVocLibNameBytes, '\0');
      for (size_t k = 0; k < kVocLibNameBytes; ++k) {
        const uint8_t c = k < name.size() ? static_cast<uint8_t>(name[k]) : 0;
        scrambled[k] = static_cast<char>(static_cast<uint8_t>(c - kVocLibNameKey));
      }
      entries += scrambled + U32(static_cast<uint32_t>(clips.size())) +
                 U32(static_cast<uint32_t>(bytes.size()));
      clips += bytes;
    }
    std::string table;
    for (const auto& [ch, syllable] : readings_) {
      const size_t record = static_cast<size_t>(((static_cast<uint8_t>(ch[0]) - 0xB0) * 94 +
                                                 (static_cast<uint8_t>(ch[1]) - 0xA1)) *
                                                kPinyinRecordBytes);
      if (table.size() < record + kPinyinRecordBytes) table.resize(record + kPinyinRecordBytes);
      table.replace(record, syllable.size(), syllable);
    }
    const uint32_t clip_base = static_cast<uint32_t>(kVocLibHeaderBytes + entries.size());
    return U32(static_cast<uint32_t>(clips_.size())) + U32(clip_base) +
           U32(static_cast<uint32_t>(clips.size())) + entries + clips + table;
  }

  // Writes dir/VtVocLib.dat.
  void WriteTo(const std::string& dir) const {
    testing_support::WriteFile(dir + "/" + kVocLibFileName, Bytes());
  }

  static std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
  }

 private:
  std::vector<std::pair<std::string, std::string>> clips_;
  std::map<std::string, std::string> readings_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_VOC_LIB_FIXTURE_H_

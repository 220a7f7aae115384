#include "telephony/voice/syllable_lib.h"

#include <cstdio>
#include <memory>

#include "frame/log.h"
#include "platform/byte_order.h"
#include "platform/gbk.h"
#include "platform/host_path.h"
#include "telephony/voice/voc_lib_key.h"
#include "telephony/voice/voice_wav.h"

namespace telephony {
namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Row 0xB0 on of GB2312: the characters the pinyin table covers.
constexpr uint8_t kFirstHanziLead = 0xB0;
constexpr uint8_t kGbFirstTrail = 0xA1;
constexpr int kGbRowCells = 94;
// GBK: a lead byte and the bytes that can follow it as its trail.
constexpr uint8_t kGbkLeadMin = 0x81;
constexpr uint8_t kGbkLeadMax = 0xFE;
constexpr uint8_t kGbkTrailMin = 0x40;
constexpr uint8_t kGbkTrailMax = 0xFE;
constexpr uint8_t kGbkNoTrail = 0x7F;
// Bytes above this are the halves of GB2312 characters.
constexpr uint8_t kGbHalfMin = 0xA1;

const char* const kMute = "mute";

bool IsGbkPair(uint8_t lead, uint8_t trail) {
  return lead >= kGbkLeadMin && lead <= kGbkLeadMax && trail >= kGbkTrailMin &&
         trail <= kGbkTrailMax && trail != kGbkNoTrail;
}

std::string OneChar(char c) { return std::string(1, c); }

// The syllables of a byte of 0xA0 or less with the bytes around it.
void SingleSyllables(uint8_t prev, uint8_t c, uint8_t next, std::vector<std::string>* list) {
  const bool signed_number = !platform::IsAsciiDigit(prev) && platform::IsAsciiDigit(next);
  switch (c) {
    case '!':
    case '?':
      list->push_back(kMute);
      list->push_back(kMute);
      return;
    case ',':
    case ':':
    case ';':
      list->push_back(kMute);
      return;
    case '+':
      list->push_back(signed_number ? "ZHENG4" : "JIA1");
      return;
    case '-':
      list->push_back(signed_number ? "FU4" : "JIAN3");
      return;
    case '.':
      if (platform::IsAsciiDigit(prev) && platform::IsAsciiDigit(next)) {
        list->push_back("DIAN3");
      } else if (next != '.') {
        list->push_back(kMute);
      }
      return;
    default:
      break;
  }
  if (platform::IsAsciiLower(c)) {
    list->push_back(OneChar(platform::AsciiUpper(static_cast<char>(c))));
  } else if (platform::IsAsciiDigit(c) || platform::IsAsciiUpper(c)) {
    list->push_back(OneChar(static_cast<char>(c)));
  }
}

}  // namespace

const CGetHypy::DuoyinZi CGetHypy::kPolyphones[] = {
    {"重庆", "CHONG2", true}, {"重新", "CHONG2", true}, {"银行", "HANG2", false},
    {"阿胶", "E1", true},     {"你好", "NI2", true},    {"大厦", "SHA4", false},
    {"商厦", "SHA4", false},  {"广厦", "SHA4", false},  {"空调", "TIAO2", false},
    {"家长", "ZHANG3", false},
};

CGetHypy& CGetHypy::Instance() {
  static CGetHypy library;
  return library;
}

int32_t CGetHypy::LoadVocLib(std::string_view directory) {
  if (loaded()) return kVocLibLoaded;
  std::lock_guard<std::mutex> lock(mu_);
  if (loaded()) return kVocLibLoaded;
  const int32_t state = LoadLocked(directory);
  state_.store(state, std::memory_order_release);
  return state;
}

void CGetHypy::Unload() {
  std::lock_guard<std::mutex> lock(mu_);
  state_.store(kVocLibNotLoaded, std::memory_order_release);
  table_.clear();
  index_.clear();
}

int32_t CGetHypy::LoadLocked(std::string_view directory) {
  table_.clear();
  index_.clear();
  directory_.assign(directory);
  if (directory_.empty() || directory_.back() != '\\') directory_ += '\\';
  path_ = directory_ + kVocLibFileName;
  File file(platform::OpenHostFile(path_, "rb"));
  if (!file) return kVocLibNotLoaded;
  const int64_t size = VoiceFileLength(file.get());
  uint8_t header[kVocLibHeaderBytes];
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0 ||
      std::fread(header, 1, sizeof header, file.get()) != sizeof header) {
    frame::LogMsgF("'%s' is too short for a voice library", path_.c_str());
    return kVocLibNotLoaded;
  }
  const uint64_t count = platform::LoadLe32(header);
  const uint64_t clip_base = platform::LoadLe32(header + 4);
  const uint64_t table_start = clip_base + platform::LoadLe32(header + 8);
  const uint64_t file_size = static_cast<uint64_t>(size);
  if (kVocLibHeaderBytes + count * kVocLibEntryBytes > file_size || clip_base > file_size ||
      table_start > file_size) {
    frame::LogMsgF("'%s' refused: entries, clips or table beyond its %lld bytes", path_.c_str(),
                   static_cast<long long>(size));
    return kVocLibNotLoaded;
  }
  std::vector<uint8_t> entries(count * kVocLibEntryBytes);
  if (std::fread(entries.data(), 1, entries.size(), file.get()) != entries.size()) {
    return kVocLibNotLoaded;
  }
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = entries.data() + i * kVocLibEntryBytes;
    std::string name;
    for (size_t k = 0; k < kVocLibNameBytes; ++k) {
      const char c = static_cast<char>(static_cast<uint8_t>(e[k] + kVocLibNameKey));
      if (c == '\0') break;
      name += c;
    }
    index_[name] = TagWord{platform::LoadLe32(e + kVocLibNameBytes),
                           platform::LoadLe32(e + kVocLibNameBytes + 4)};
  }
  table_.resize(file_size - table_start);
  if (std::fseek(file.get(), static_cast<long>(table_start), SEEK_SET) != 0 ||
      std::fread(table_.data(), 1, table_.size(), file.get()) != table_.size()) {
    table_.clear();
    index_.clear();
    return kVocLibNotLoaded;
  }
  clip_base_ = static_cast<uint32_t>(clip_base);
  frame::LogMsgF("'%s' loaded: %zu syllables", path_.c_str(), index_.size());
  return kVocLibLoaded;
}

int32_t CGetHypy::TextToSyllables(std::string_view text, std::vector<std::string>* list) const {
  list->clear();
  if (!loaded()) return 0;
  text = text.substr(0, kMaxSpeechTextBytes);
  auto at = [&](size_t i) -> uint8_t {
    return i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
  };
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t c = at(i);
    const uint8_t next = at(i + 1);
    if (i + 1 < text.size() && IsGbkPair(c, next)) {
      // A GBK character; only GB2312 pairs (both halves above 0xA0) speak.
      if (c >= kGbHalfMin && next >= kGbHalfMin) PairSyllables(text, i, list);
      i += 2;
    } else if (c >= kGbHalfMin) {
      // A half with no GBK trail after it: a pair of two halves still reads
      // as GB2312; otherwise the half is dropped and what follows it is a
      // single byte.
      if (next >= kGbHalfMin) {
        PairSyllables(text, i, list);
      } else if (i + 1 < text.size()) {
        SingleSyllables(c, next, at(i + 2), list);
      }
      i += 2;
    } else {
      SingleSyllables(i > 0 ? at(i - 1) : 0, c, next, list);
      ++i;
    }
  }
  return static_cast<int32_t>(list->size());
}

void CGetHypy::PairSyllables(std::string_view text, size_t i, std::vector<std::string>* list) const {
  const uint8_t lead = static_cast<uint8_t>(text[i]);
  const uint8_t trail = static_cast<uint8_t>(text[i + 1]);
  const std::string_view pair = text.substr(i, 2);
  if (lead == 0xA2 && trail >= 0xC5 && trail <= 0xCD) {
    list->push_back(OneChar(static_cast<char>('1' + trail - 0xC5)));
  } else if (lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9) {
    list->push_back(OneChar(static_cast<char>('0' + trail - 0xB0)));
  } else if (lead == 0xA3 && trail >= 0xC1 && trail <= 0xDA) {
    list->push_back(OneChar(static_cast<char>('A' + trail - 0xC1)));
  } else if (lead == 0xA3 && trail >= 0xE1 && trail <= 0xFA) {
    list->push_back(OneChar(static_cast<char>('A' + trail - 0xE1)));
  } else if (pair == "，" || pair == "：" || pair == "；") {
    list->push_back(kMute);
  } else if (pair == "。" || pair == "？" || pair == "！" || pair == "．") {
    list->push_back(kMute);
    list->push_back(kMute);
  } else if (lead >= kFirstHanziLead) {
    for (const DuoyinZi& p : kPolyphones) {
      const bool match = p.first ? text.substr(i, 4) == p.word
                                 : i >= 2 && text.substr(i - 2, 4) == p.word;
      if (match) {
        list->push_back(p.syllable);
        return;
      }
    }
    std::string name = TableSyllable(lead, trail);
    if (!name.empty()) list->push_back(std::move(name));
  } else {
    list->push_back(kMute);
  }
}

std::string CGetHypy::TableSyllable(uint8_t lead, uint8_t trail) const {
  const size_t record =
      static_cast<size_t>((lead - kFirstHanziLead) * kGbRowCells + (trail - kGbFirstTrail)) *
      kPinyinRecordBytes;
  if (record + kPinyinNameBytes > table_.size()) return {};
  std::string name;
  for (size_t k = 0; k < kPinyinNameBytes && table_[record + k] != 0; ++k) {
    name += static_cast<char>(table_[record + k]);
  }
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\n')) {
    name.pop_back();
  }
  return name;
}

bool CGetHypy::FindClip(const std::string& name, TagWord* word) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = index_.find(name);
  if (it == index_.end()) return false;
  *word = it->second;
  return true;
}

int32_t CGetHypy::TextToVocFile(std::string_view text, std::string_view output_path) {
  std::vector<std::string> names;
  if (TextToSyllables(text, &names) <= 0) return kVocNoSpeech;
  const size_t n = output_path.size();
  const bool wav = n > 4 && (output_path.substr(n - 4) == ".wav" || output_path.substr(n - 4) == ".WAV");
  const std::string out_name(output_path);
  File out(platform::OpenHostFile(out_name, "wb"));
  if (!out) {
    std::printf("Create '%s' failed!\n", out_name.c_str());
    return kVocNoSpeech;
  }
  const platform::WaveFormat format = platform::VoiceFormat(platform::kWaveTagAlaw);
  bool written = !wav || WriteBytes(out.get(), platform::WavHeaderBytes(
                                                   format, 0, platform::WavHeaderForm::k46));
  File lib(platform::OpenHostFile(path_, "rb"));
  if (!lib) {
    std::printf("Open '%s' Error.\n", path_.c_str());
    return kVocLibUnreadable;
  }
  std::vector<char> clip(kMaxClipBytes);
  uint32_t total = 0;
  for (const std::string& name : names) {
    TagWord word;
    if (!FindClip(name, &word)) continue;
    const uint64_t start = static_cast<uint64_t>(clip_base_) + word.offset;
    const size_t want = std::min(word.length, kMaxClipBytes);
    if (std::fseek(lib.get(), static_cast<long>(start), SEEK_SET) != 0) continue;
    const size_t got = std::fread(clip.data(), 1, want, lib.get());
    written = WriteBytes(out.get(), std::string_view(clip.data(), got)) && written;
    total += static_cast<uint32_t>(got);
  }
  if (wav) {
    written = std::fseek(out.get(), 0, SEEK_SET) == 0 &&
              WriteBytes(out.get(),
                         platform::WavHeaderBytes(format, total, platform::WavHeaderForm::k46)) &&
              written;
  }
  // What was not written (a full disk) is no voice file.
  if (std::fclose(out.release()) != 0 || !written) {
    frame::LogAlwaysF("Write '%s' failed!", out_name.c_str());
    return kVocNoSpeech;
  }
  return static_cast<int32_t>(names.size());
}

}  // namespace telephony

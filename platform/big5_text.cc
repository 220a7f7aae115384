#include "platform/big5_text.h"

#include <opencc/opencc.h>

#include <mutex>

#include "platform/codepage.h"

namespace platform {
namespace {

constexpr unsigned char kLeadMin = 0x81;
constexpr unsigned char kLeadMax = 0xFE;
constexpr unsigned char kLowTrailMin = 0x40;
constexpr unsigned char kLowTrailMax = 0x7E;
constexpr const char* kTraditionalToSimplified = "t2s.json";

// The converter, opened at the first use; (opencc_t)-1 when it cannot be.
class SimplifiedConverter {
 public:
  SimplifiedConverter() : od_(opencc_open(kTraditionalToSimplified)) {}
  ~SimplifiedConverter() {
    if (usable()) opencc_close(od_);
  }
  SimplifiedConverter(const SimplifiedConverter&) = delete;
  SimplifiedConverter& operator=(const SimplifiedConverter&) = delete;

  std::string Convert(const std::string& utf8) {
    if (!usable()) return utf8;
    std::lock_guard<std::mutex> lock(mu_);
    char* out = opencc_convert_utf8(od_, utf8.data(), utf8.size());
    if (out == nullptr) return utf8;
    std::string result(out);
    opencc_convert_utf8_free(out);
    return result;
  }

 private:
  bool usable() const { return od_ != reinterpret_cast<opencc_t>(-1); }

  opencc_t od_;
  std::mutex mu_;
};

}  // namespace

bool IsBig5Text(std::string_view text) {
  enum class State { kNone, kAfterLead, kAfterTrail } state = State::kNone;
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= kLeadMin && c <= kLeadMax) {
      state = state == State::kAfterLead ? State::kAfterTrail : State::kAfterLead;
    } else if (c >= kLowTrailMin && c <= kLowTrailMax) {
      if (state == State::kAfterLead) return true;
    } else {
      state = State::kNone;
    }
  }
  return false;
}

std::string Big5ToGbk(std::string_view big5) {
  static SimplifiedConverter converter;
  return Convert(CodePage::kUtf8, CodePage::kGbk,
                 converter.Convert(Convert(CodePage::kBig5, CodePage::kUtf8, big5)));
}

}  // namespace platform

// Several E1 lines of one drive on the simulated board, each with its call
// object in the drive's table, for the tests of links between lines.
#ifndef VTTEL_TESTS_TELEPHONY_BOARD_E1_LINES_FIXTURE_H_
#define VTTEL_TESTS_TELEPHONY_BOARD_E1_LINES_FIXTURE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "telephony/board/dj_tup_call.h"
#include "telephony/board/dj_tup_drive.h"
#include "tests/telephony/board_drive_fixture.h"

namespace telephony {

class E1Lines {
 public:
  E1Lines(const std::string& sim_ini, const std::string& card_ini, std::vector<int32_t> channels)
      : folder_(sim_ini + "Strict=1\n", card_ini), drive_(folder_.board()) {
    for (int32_t ch : channels) {
      calls_[ch].reset(static_cast<TagDjTupCall*>(drive_.CreateLineCall(ch).release()));
    }
  }

  TagDjTupCall& operator[](int32_t ch) { return *calls_.at(ch); }
  TagDjTupDrive& drive() { return drive_; }
  simboard::SimBoard& board() { return folder_.board(); }
  std::string File(const std::string& name) const { return folder_.path() + "/" + name; }
  // A field of a line's far-end state.
  std::string State(int32_t ch, const std::string& field) {
    std::string fields;
    board().State(simboard::Address{simboard::Address::Kind::kE1, ch}, fields);
    const std::string key = field + "=";
    size_t at = fields.find(key);
    if (at == std::string::npos) return "";
    size_t end = fields.find(' ', at);
    return fields.substr(at + key.size(), end == std::string::npos ? end : end - at - key.size());
  }

 private:
  BoardFolder folder_;
  TagDjTupDrive drive_;
  std::map<int32_t, std::unique_ptr<TagDjTupCall>> calls_;
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_BOARD_E1_LINES_FIXTURE_H_

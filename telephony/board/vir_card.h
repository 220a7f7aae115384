// TagVirCard: the card of the virtual lines, the lines whose telephone is
// the operator's PC. The line drive asks it last, after the physical and
// SIP cards. Each of its lines gets a TagVirCall (lineKind 0), which plays
// and records on the PC's sound card and finds other lines through
// lineDrive.
//
// Thread rules: built and deleted with the line drive; the call objects it
// makes are owned by their lines and must go before the card.
#ifndef VTTEL_TELEPHONY_BOARD_VIR_CARD_H_
#define VTTEL_TELEPHONY_BOARD_VIR_CARD_H_

#include <cstdint>
#include <memory>
#include <string>

#include "telephony/board/vt_card.h"
#include "telephony/vt_call.h"

namespace telephony {

class TagTelDrive;

class TagVirCard : public TagVtCard {
 public:
  // lines: the configured number of virtual lines (a negative number gives
  // one line, 0 none); english: non-zero names the lines in English.
  TagVirCard(int32_t lines, int32_t english_names);

  // "VirtualLine%d#" or "虚拟线路%d#" with the card index; 0 (no range check).
  int32_t CreateLineName(int32_t index, std::string& name) override;

  // The call object of the line at a card index, numbered line_no in the
  // line table; null outside 0 .. telCount-1.
  std::unique_ptr<TagVtCall> CreateLineCall(int32_t index, int32_t line_no);

  int32_t english = 0;
  // The line drive that holds the card's lines, set by the drive once it
  // has the card (null without one); the lines find other lines through it.
  TagTelDrive* lineDrive = nullptr;
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_VIR_CARD_H_

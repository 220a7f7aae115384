// TagDjTupDrive: the board drive with the SS7 TUP signalling of its E1
// trunks; the physical card that the line drive makes. Its constructor opens
// the signalling after the board, its destructor closes the signalling
// before the board.
#ifndef VTTEL_TELEPHONY_BOARD_DJ_TUP_DRIVE_H_
#define VTTEL_TELEPHONY_BOARD_DJ_TUP_DRIVE_H_

#include <memory>

#include "telephony/board/dj_digit_drive.h"
#include "telephony/vt_call.h"

namespace telephony {

class TagDjTupDrive : public TagDjDigitDrive {
 public:
  // binding must outlive the drive.
  explicit TagDjTupDrive(board::Binding& binding);
  ~TagDjTupDrive() override;

  int32_t Open() override;  // opens the signalling; 0
  void Close() override;    // closes the signalling

  // The call object of the line at a card index, named by CreateLineName
  // and entered in calls: a TagDjTupCall for an E1 channel, a
  // TagDjUserCall for an analog port (port = index - e1Count); null outside
  // the card. The line that gets it owns it; it must go before the drive.
  std::unique_ptr<TagVtCall> CreateLineCall(int32_t index);

 protected:
  // The signalling's pump, then the board's.
  void TimerPump() override;
};

// The physical card the line drive makes, on the process's board binding.
std::unique_ptr<TagVtCard> CreateTupDrive(board::Binding& binding);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_BOARD_DJ_TUP_DRIVE_H_

#include "telephony/board/dj_tup_drive.h"

#include "frame/log.h"
#include "telephony/board/dj_tup_call.h"

namespace telephony {

TagDjTupDrive::TagDjTupDrive(board::Binding& binding) : TagDjDigitDrive(binding) {
  frame::LogMsg("TagDjTupDrive ...");
  Open();
  frame::LogMsg("TagDjTupDrive End.");
  if (status == 0 && analogCount > 0) {
    frame::LogAlwaysF(
        "The board has %d analog ports, but analog lines are not available in this build: "
        "the board is not used.",
        analogCount);
    status = -1;
    telCount = 0;
  }
}

TagDjTupDrive::~TagDjTupDrive() { Close(); }

int32_t TagDjTupDrive::Open() {
  tup().TupOpen();
  return 0;
}

void TagDjTupDrive::Close() {
  tup().TupClose();
  frame::LogMsg("TagDjTupDrive Closed.");
}

std::unique_ptr<TagVtCall> TagDjTupDrive::CreateLineCall(int32_t index) {
  std::string name;
  if (CreateLineName(index, name) != 0 || !IsE1Line(index)) return nullptr;
  auto call = std::make_unique<TagDjTupCall>(index, this);
  call->lineName = name;
  calls[index] = call.get();
  return call;
}

std::unique_ptr<TagVtCard> CreateTupDrive(board::Binding& binding) {
  return std::make_unique<TagDjTupDrive>(binding);
}

}  // namespace telephony

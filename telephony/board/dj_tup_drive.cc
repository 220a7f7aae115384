#include "telephony/board/dj_tup_drive.h"

#include "frame/log.h"
#include "telephony/board/dj_tup_call.h"
#include "telephony/board/dj_user_call.h"

namespace telephony {

TagDjTupDrive::TagDjTupDrive(board::Binding& binding) : TagDjDigitDrive(binding) {
  frame::LogMsg("TagDjTupDrive ...");
  Open();
  frame::LogMsg("TagDjTupDrive End.");
}

TagDjTupDrive::~TagDjTupDrive() {
  StopPumpTimer();
  Close();
}

int32_t TagDjTupDrive::Open() {
  tup().TupOpen();
  return 0;
}

void TagDjTupDrive::Close() {
  tup().TupClose();
  frame::LogMsg("TagDjTupDrive Closed.");
}

void TagDjTupDrive::TimerPump() {
  {
    std::lock_guard<board::BoardLock> hold(boardLock());
    tup().TupPump();
  }
  PumpBoard();
}

std::unique_ptr<TagVtCall> TagDjTupDrive::CreateLineCall(int32_t index) {
  std::string name;
  if (CreateLineName(index, name) != 0) return nullptr;
  std::unique_ptr<TagDjBaseCall> call;
  if (IsE1Line(index)) {
    call = std::make_unique<TagDjTupCall>(index, this);
  } else {
    call = std::make_unique<TagDjUserCall>(index, index - e1Count, this);
  }
  call->lineName = name;
  calls[index] = call.get();
  return call;
}

std::unique_ptr<TagVtCard> CreateTupDrive(board::Binding& binding) {
  return std::make_unique<TagDjTupDrive>(binding);
}

}  // namespace telephony

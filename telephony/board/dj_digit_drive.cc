#include "telephony/board/dj_digit_drive.h"

#include <algorithm>
#include <mutex>

#include "frame/log.h"
#include "platform/clock.h"
#include "platform/message_service.h"

namespace telephony {
namespace {

std::mutex serial_mutex;
std::string card_serial_no;  // guarded by serial_mutex

void SetCardSerialNo(std::string text) {
  std::lock_guard<std::mutex> hold(serial_mutex);
  card_serial_no = std::move(text);
}

}  // namespace

std::string CardSerialNo() {
  std::lock_guard<std::mutex> hold(serial_mutex);
  return card_serial_no;
}

TagDjDigitDrive::TagDjDigitDrive(board::Binding& binding) : binding_(binding) {
  options_ = ReadCardOptions();
  frame::LogMsg("TagDjDigitDrive ...");
  telCount = 0;
  e1Count = 0;
  boardLock_ = std::make_unique<board::BoardLock>();
  binding_.WatchLock(boardLock_.get());
  if (!OpenBoardAndCount()) {
    status = -1;
    return;
  }
  OpenAnalogPorts();
  InitFax(options_.fax != 0);
  if (options_.conf != 0) {
    InitConf();
    frame::LogMsgF("_totalConfId=%d", confCount);
  } else {
    confCount = 0;
  }
  int32_t fsk_result = fsk().FskInit(1);
  if (fsk_result < 0) {
    frame::LogMsgF("DJFsk_InitForFsk() Err: %d", fsk_result);
  } else {
    frame::LogMsg("DJFsk_InitForFsk() OK.");
  }
  status = 0;
  frame::LogMsg("TagDjDigitDrive OK.");
}

TagDjDigitDrive::~TagDjDigitDrive() {
  StopPumpTimer();
  fsk().FskClose();
  board().FaxClose();
  if (confCount > 0) ReleaseConf();
  board().CloseBoard();
  binding_.WatchLock(nullptr);
  boardLock_.reset();
  frame::LogMsg("TagDjDigitDrive Closed.");
}

bool TagDjDigitDrive::OpenBoardAndCount() {
  int32_t opened = board().OpenBoard("", "prompt.ini");
  if (opened != 0) {
    platform::ShowMessage("初始化东进数字卡不成功, 返回值: " + std::to_string(opened) + "!",
                          "Vantorel系统", platform::MessageIcon::kError);
    return false;
  }
  std::string serial = std::to_string(static_cast<long>(board().SerialNumber(0)));
  frame::LogMsg("CardSerNo=" + serial);
  SetCardSerialNo(std::move(serial));
  e1Count = board().ChannelsOfTrunks(board().TrunkCount());
  telCount = std::max(e1Count, 0);
  frame::LogMsgF("_totalDigitLines = %d", e1Count);
  return e1Count > 0;
}

void TagDjDigitDrive::OpenAnalogPorts() {
  int32_t reported = board().AnalogPortCount(0);
  analogCount = std::clamp(reported, 0, kMaxAnalogPorts);
  if (analogCount != reported) {
    frame::LogAlwaysF("The board reports %d analog ports; %d are used.", reported, analogCount);
  }
  frame::LogMsgF("InLinesCount = %d", analogCount);
  board().SetAnalogParams(100, 100);
  for (int32_t port = 0; port < analogCount; ++port) {
    int32_t type = board().PortType(port);
    if (type == 0) {
      board().PortOffHook(port);
      portType[port] = kPortPhone;
    } else if (type == 1) {
      board().PortOnHook(port);
      portType[port] = kPortTrunk;
    } else {
      portType[port] = type == 2 ? kPortBoardType2 : kPortOther;
    }
  }
  telCount += analogCount;
  for (int32_t port = 0; port < analogCount; ++port) board().InitPort(port);
}

void TagDjDigitDrive::InitFax(bool wanted) {
  faxCount = 0;
  if (wanted) {
    std::lock_guard<board::BoardLock> hold(*boardLock_);
    if (board().FaxInit(2048) == 0) {
      int32_t reported = board().FaxResourceCount();
      int32_t count = std::clamp(reported, 0, kMaxFaxResources);
      if (count != reported) {
        frame::LogAlwaysF("The board reports %d fax resources; %d are used.", reported, count);
      }
      faxBusy.assign(static_cast<size_t>(count), 0);
      faxCount = count;
    }
  }
  frame::LogMsgF("_faxNum=%d", faxCount);
}

int32_t TagDjDigitDrive::CreateLineName(int32_t index, std::string& name) {
  name.clear();
  if (index < 0 || index >= telCount) return -1;
  char text[32];
  if (index < e1Count) {
    snprintf(text, sizeof text, "E1:%02d", index);
  } else {
    int32_t type = portType[static_cast<size_t>(index - e1Count)];
    const char* form = type == kPortPhone ? "A_IN:%d" : type == kPortTrunk ? "A_EX:%d" : "A_UN:%d";
    snprintf(text, sizeof text, form, index);
  }
  name = text;
  return 0;
}

int32_t TagDjDigitDrive::Open() { return 0; }

void TagDjDigitDrive::Close() {}

void TagDjDigitDrive::PumpBoard() {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  uint32_t now = platform::GetClock().TickCount();
  if (now - lastPumpTick_ > kBoardPumpMs) {
    board().PumpBoard();
    lastPumpTick_ = now;
  }
}

void TagDjDigitDrive::TimerPump() { PumpBoard(); }

int32_t TagDjDigitDrive::IsVoiceEnded(int32_t id) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().IsVoiceEnded(id);
}

int32_t TagDjDigitDrive::ConfPlay(int32_t group, std::string_view file) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  int32_t id = board().ConfPlay(group, file, 0, -1);
  std::string text = "'";
  text.append(file).append("', id=").append(std::to_string(group));
  text.append(", ret=").append(std::to_string(id));
  frame::LogMsg(text);
  return id;
}

void TagDjDigitDrive::ConfStopPlay(int32_t id) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  board().ConfStopPlay(id);
}

int32_t TagDjDigitDrive::ConfRecord(int32_t group, std::string_view file, int32_t max_bytes,
                                    int32_t position) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().ConfRecord(group, file, position, max_bytes);
}

void TagDjDigitDrive::ConfStopRecord(int32_t id) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  board().ConfStopRecord(id);
}

}  // namespace telephony

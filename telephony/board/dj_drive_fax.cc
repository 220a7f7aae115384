// The fax resources of the board drive.
#include <algorithm>
#include <mutex>

#include "telephony/board/dj_digit_drive.h"

namespace telephony {
namespace {

bool ValidFax(int32_t fax, const std::vector<uint8_t>& busy) {
  return fax >= 0 && static_cast<size_t>(fax) < busy.size();
}

}  // namespace

int32_t TagDjDigitDrive::AcquireFax(int32_t line) {
  if (faxCount <= 0) return -1;
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  int32_t fax = board().FaxFreeResource();
  if (!ValidFax(fax, faxBusy)) return -1;
  int32_t attached = IsE1Line(line) ? board().FaxAttachChannel(fax, line)
                                    : board().FaxAttachPort(fax, line - e1Count);
  if (attached == 0) return -2;
  faxBusy[static_cast<size_t>(fax)] = 1;
  return fax;
}

void TagDjDigitDrive::ReleaseFax(int32_t fax, int32_t line) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  board().FaxRelease(fax);
  board().FaxDetach(fax, IsE1Line(line) ? line : line - e1Count);
  if (ValidFax(fax, faxBusy)) faxBusy[static_cast<size_t>(fax)] = 0;
}

void TagDjDigitDrive::SetFaxLocalId(int32_t fax, std::string_view id) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  board().FaxSetLocalId(fax, id);
}

int32_t TagDjDigitDrive::StartFaxSend(int32_t fax, std::string_view file) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().FaxStartSend(fax, file);
}

int32_t TagDjDigitDrive::StartFaxReceive(int32_t fax, std::string_view file) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().FaxStartReceive(fax, file);
}

int32_t TagDjDigitDrive::FaxState(int32_t fax) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().FaxState(fax);
}

int32_t TagDjDigitDrive::FaxReceiveResult(int32_t fax) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  return board().FaxReceiveResult(fax);
}

int32_t TagDjDigitDrive::FaxResources(int32_t& total, int32_t& busy) {
  std::lock_guard<board::BoardLock> hold(*boardLock_);
  total = faxCount;
  busy = static_cast<int32_t>(std::count(faxBusy.begin(), faxBusy.end(), 1));
  return busy;
}

}  // namespace telephony

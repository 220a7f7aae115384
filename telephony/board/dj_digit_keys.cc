// Keys of the E1 channel: the board's key FIFO into keyBuf, GetKeys and
// DTMF sending.
#include <cstdio>

#include "frame/monitor.h"
#include "platform/clock.h"
#include "platform/gbk.h"
#include "telephony/board/dj_digit_call.h"
#include "telephony/board/key_scan.h"

namespace telephony {
namespace {

constexpr uint32_t kKeyReadPauseMs = 50;
constexpr uint32_t kGetKeysPauseMs = 65;
constexpr uint32_t kDtmfPollMs = 100;

}  // namespace

void TagDjDigitCall::ReadKeys() {
  IsOnline();
  bool got = false;
  for (;;) {
    int32_t key;
    {
      std::lock_guard<board::BoardLock> hold(boardLock());
      key = board().ChannelKey(channel);
    }
    if (!IsDtmfKey(key, true)) break;
    if (keyBuf.size() < kKeyBufMax) keyBuf.push_back(platform::AsciiUpper(static_cast<char>(key)));
    got = true;
    platform::GetClock().Sleep(kKeyReadPauseMs);
  }
  if (got) frame::DispKeys(lineNo, keyBuf);
}

bool TagDjDigitCall::HasKey(char key) const { return keyBuf.find(key) != std::string::npos; }

void TagDjDigitCall::ClearKeys() {
  ReadKeys();
  keyBuf.clear();
  {
    std::lock_guard<board::BoardLock> hold(boardLock());
    board().ClearChannelKeys(channel);
  }
  frame::DispKeys(lineNo, keyBuf);
}

int32_t TagDjDigitCall::KeysLen() {
  ReadKeys();
  return static_cast<int32_t>(keyBuf.size());
}

int32_t TagDjDigitCall::SetKeys(std::string_view digits) {
  {
    std::lock_guard<board::BoardLock> hold(boardLock());
    board().SendDtmf(channel, digits);
  }
  while (stopFlag.load() == 0 && IsOnline()) {
    int32_t sent;
    {
      std::lock_guard<board::BoardLock> hold(boardLock());
      sent = board().IsDtmfSent(channel);
    }
    if (sent != 0) break;
    platform::GetClock().Sleep(kDtmfPollMs);
  }
  return 0;
}

int32_t TagDjDigitCall::GetKeys(std::string& buffer, int32_t max_keys, int32_t total_seconds,
                                std::string_view end_keys) {
  const char end_key = end_keys.empty() ? 0 : end_keys[0];
  platform::Clock& clock = platform::GetClock();
  const uint32_t start = clock.TickCount();
  uint32_t last_key = start;
  size_t seen = keyBuf.size();
  int32_t result = -1;
  std::string keys;
  while (stopFlag.load() == 0) {
    ReadKeys();
    KeyScan scan = ScanKeys(keyBuf, max_keys, end_key, keys);
    if (scan.ended) {
      keyBuf.erase(0, scan.consumed);
      buffer = keys;
      result = static_cast<int32_t>(keys.size());
      break;
    }
    if (!IsOnline()) {
      buffer = keys;
      result = -1;
      break;
    }
    const uint32_t now = clock.TickCount();
    const bool key_gap_over = keyTime > 0 && now - last_key > static_cast<uint32_t>(keyTime) * 1000;
    const bool total_over =
        total_seconds > 0 && now - start > static_cast<uint32_t>(total_seconds) * 1000;
    if (key_gap_over || total_over) {
      buffer = keyBuf;
      ClearKeys();
      TraceLog("GetKeys() timeout");
      return -1;
    }
    if (keyBuf.size() > seen) {
      last_key = now;
    } else {
      clock.Sleep(kGetKeysPauseMs);
    }
    seen = keyBuf.size();
  }
  TraceLog("GetKeys('" + buffer + "'), len=" + std::to_string(result) + ".");
  return result;
}

}  // namespace telephony

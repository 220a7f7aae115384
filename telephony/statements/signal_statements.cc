#include "telephony/statements/signal_statements.h"

#include <algorithm>
#include <string_view>

#include "engine/arguments.h"
#include "engine/tag_var.h"
#include "frame/log.h"
#include "platform/gbk.h"
#include "telephony/statements/line_statement.h"
#include "telephony/vt_call.h"

namespace telephony {

namespace {

using engine::ArgInt;
using engine::ArgStoredInt;
using engine::ArgText;
using Call = TagVtCall;
using Line = LineStatement;

// Whether text is read as hexadecimal: long enough and its first two
// characters hexadecimal digits.
bool LooksHexadecimal(std::string_view text) {
  return text.size() >= kSigRawHexMinChars && platform::AsciiHexValue(text[0]) >= 0 &&
         platform::AsciiHexValue(text[1]) >= 0;
}

// Decodes hexadecimal digits separated by any blanks; false at the first
// other character.
bool DecodeHex(std::string_view text, std::string* bytes) {
  int pending = -1;  // the first digit of a byte, while its second is awaited
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (platform::IsAsciiBlank(c)) continue;
    const int v = platform::AsciiHexValue(c);
    if (v < 0) return false;
    if (pending < 0) {
      pending = v;
    } else {
      bytes->push_back(static_cast<char>(pending * 16 + v));
      pending = -1;
    }
  }
  if (pending >= 0) bytes->push_back(static_cast<char>(pending));
  return true;
}

}  // namespace

bool DecodeSigRawData(const engine::TagVar& data, int32_t n, std::string* bytes) {
  bytes->clear();
  if (data.kind != engine::kVarString) return false;
  const std::string_view text = data.Bytes();
  if (LooksHexadecimal(text)) {
    if (DecodeHex(text, bytes)) return true;
    bytes->clear();
  }
  // The raw form: n may take the terminator too.
  if (n > 0 && static_cast<size_t>(n) > text.size() + 1) return false;
  const size_t count = n > 0 ? static_cast<size_t>(n) : text.size();
  bytes->assign(text.substr(0, std::min(count, text.size())));
  if (count > text.size()) bytes->push_back('\0');
  return true;
}

namespace {

// "SetTones(" (ten stored integers, the key first).
int32_t SetTones(Call& c, const Line& s) {
  TagSignalTone tone;
  for (size_t i = 0; i < tone.values.size(); ++i) tone.values[i] = ArgStoredInt(s.Argument(i));
  return c.SetSignalTone(tone);
}

// "SetSigPara(" (type: integer, value).
int32_t SetSigPara(Call& c, const Line& s) {
  const int32_t type = ArgInt(s.Argument(0));
  const engine::TagVar& value = s.Argument(1);
  if (value.kind == engine::kVarString) return c.SetSigParaText(type, ArgText(value));
  return c.SetSigPara(type, value.kind == engine::kVarNull ? -1 : ArgInt(value));
}

// "GetSigRawData(" (variable): the variable only when bytes were received.
int32_t GetSigRawData(Call& c, const Line& s) {
  std::string bytes;
  const int32_t n = c.TakeSigRawData(bytes);
  if (n > 0) s.Argument(0).AssignString(bytes);
  return n;
}

// "SetSigRawData(" (data, length: integer).
int32_t SetSigRawData(Call& c, const Line& s) {
  const engine::TagVar& data = s.Argument(0);
  const int32_t n = ArgInt(s.Argument(1));
  std::string bytes;
  if (!DecodeSigRawData(data, n, &bytes)) {
    frame::LogMsgF("SetSigRawData: 参数不对, len=%d, i=%d, type=%d", n,
                   data.kind == engine::kVarString ? data.intValue : 0, data.kind);
    return -1;
  }
  return c.StoreSigRawData(bytes);
}

// "RecvFskMsg(" (type variable, text variable, time-out: integer).
int32_t RecvFskMsg(Call& c, const Line& s) {
  int32_t type = 0;
  std::string text;
  const int32_t r = c.RecvFskMsg(type, text, ArgInt(s.Argument(2)));
  s.Argument(0).AssignInt(type);
  s.Argument(1).AssignString(std::string_view(text).substr(0, kFskTextBytes - 1));
  return r;
}

// The setters of three parameters, read as integers or stored integers.
template <void (Call::*kSet)(int32_t, int32_t, int32_t), int32_t (*kRead)(const engine::TagVar&)>
int32_t SetThree(Call& c, const Line& s) {
  (c.*kSet)(kRead(s.Argument(0)), kRead(s.Argument(1)), kRead(s.Argument(2)));
  return 0;
}

}  // namespace

void RegisterSignalStatements() {
  engine::StatementRegistry& r = engine::Statements();
  r.Register("SetVolume(", &CallOperation<[](Call& c, const Line& s) {
    c.SetVolume(ArgInt(s.Argument(0)), ArgInt(s.Argument(1)));
    return 0;
  }>::Build);
  r.Register("SetBusyPara(", &CallOperation<SetThree<&Call::SetBusyPara, ArgInt>>::Build);
  r.Register("SetRingbackPara(",
             &CallOperation<SetThree<&Call::SetRingbackPara, ArgInt>>::Build);
  r.Register("SetSignalFreqPara(",
             &CallOperation<SetThree<&Call::SetSignalFreqPara, ArgStoredInt>>::Build);
  r.Register("EnableLineSpeaker(", &CallOperation<[](Call& c, const Line& s) {
    c.EnableLineSpeaker(ArgInt(s.Argument(0)));
    return 0;
  }>::Build);
  r.Register("SetTones(", &CallOperation<SetTones>::Build);
  r.Register("ClearTones(", &CallOperation<[](Call& c, const Line&) {
    c.ClearSignalTones();
    return 0;
  }>::Build);
  r.Register("SetSigPara(", &CallOperation<SetSigPara>::Build);
  r.Register("GetSigRawData(", &CallOperation<GetSigRawData>::Build);
  r.Register("SetSigRawData(", &CallOperation<SetSigRawData>::Build);
  r.Register("SendFskMsg(", &CallOperation<[](Call& c, const Line& s) {
    return c.SendFskMsg(ArgInt(s.Argument(0)), ArgText(s.Argument(1)), ArgInt(s.Argument(2)));
  }>::Build);
  r.Register("RecvFskMsg(", &CallOperation<RecvFskMsg>::Build);
}

}  // namespace telephony

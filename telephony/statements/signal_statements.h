// The line-setting, tone and signalling statements: volumes, tone
// detection and signal frequencies, the line speaker, the tone records,
// signalling parameters, raw signalling bytes and FSK messages.
//
//   "SetVolume(" v, type        SetVolume(v, type), 0
//   "SetBusyPara(" a, b, c      "SetRingbackPara(" a, b, c   (integers), 0
//   "SetSignalFreqPara(" a, b, c  (stored integers), 0
//   "EnableLineSpeaker(" flag   0
//   "SetTones(" key, 9 values   (stored integers) one tone record: 0, -1 bad key
//   "ClearTones("               empties the tone records, 0
//   "SetSigPara(" type, value   a string to SetSigParaText, else SetSigPara
//                               with the integer (-1 for NULL): its result
//   "GetSigRawData(" v          the received bytes into v: their count
//   "SetSigRawData(" data, len  bytes to send (DecodeSigRawData): count, -1, -2
//   "SendFskMsg(" type, text, p   "RecvFskMsg(" type var, text var, time-out
//
// Each is a thin statement over the line's call object (TagVtCall); a
// script without one gives kNoCallObject. Thread rules: the line's thread.
#ifndef VTTEL_TELEPHONY_STATEMENTS_SIGNAL_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_SIGNAL_STATEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace engine {
class TagVar;
}

namespace telephony {

// Registers the statements listed above; a second call changes nothing.
void RegisterSignalStatements();

// "SetSigRawData(" reads its data as hexadecimal only from this length on.
inline constexpr size_t kSigRawHexMinChars = 7;
// The text buffer of "RecvFskMsg(", with the terminator.
inline constexpr size_t kFskTextBytes = 1032;

// The bytes "SetSigRawData(" stores for data with length argument n:
//   - a string of at least 7 characters whose first two are hexadecimal
//     digits and that holds only such digits and blanks: two digits give a
//     byte, blanks are skipped, a last single digit gives a byte;
//   - any other string (also one that only starts like hexadecimal): its
//     first n bytes (n <= 0: the whole text; n may reach the terminator),
//     or false when the string with its terminator is shorter than n, or
//     the value is no string.
bool DecodeSigRawData(const engine::TagVar& data, int32_t n, std::string* bytes);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_SIGNAL_STATEMENTS_H_

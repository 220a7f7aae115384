// The one-byte key of the syllable names in a voice library "VtVocLib.dat":
// a name byte is stored as (byte - key) mod 256 and read back by adding the
// key. tools/make_voclib.py reads the value from this line, so the library
// files it makes and the loader agree.
#ifndef VTTEL_TELEPHONY_VOICE_VOC_LIB_KEY_H_
#define VTTEL_TELEPHONY_VOICE_VOC_LIB_KEY_H_

#include <cstdint>

namespace telephony {

inline constexpr uint8_t kVocLibNameKey = 0x5B;

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_VOC_LIB_KEY_H_

// What a board line does with a file it has recorded: the board writes
// headerless A-law; a file named "*.WAV" (any case, a name longer than four
// characters) is turned into a WAV file under the same name. The raw file
// is first renamed to "*._wa" (replacing one left there), converted into
// the recorded name, and deleted when that worked; when it failed the raw
// file is renamed back. Other names are left as recorded.
//
// REQUIRES: the board has stopped writing the file.
#ifndef VTTEL_TELEPHONY_VOICE_RECORDED_FILE_H_
#define VTTEL_TELEPHONY_VOICE_RECORDED_FILE_H_

#include <string_view>

namespace telephony {

// file is a script path. Returns true when a WAV file was made.
bool ConvertRecordedFile(std::string_view file);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VOICE_RECORDED_FILE_H_

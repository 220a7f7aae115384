// The speech statements: "SetTtsPara(" chooses the speech engine of the
// script, "TxtSpeak(" / "PcTxtSpeak(" speak a text to the caller or on the
// PC's sound card, "TxtSpeakToFile(" speaks it into a voice file. Texts in
// Big5 are turned into simplified GBK first (with the file flag the text is
// a file name and stays as it is).
//
// Syllable mode (1) builds the line's temporary speech file "tts<line>"
// with the voice extension in the selected language's voice directory and
// plays it; the file flag is not honoured there (the text is spoken as
// given, and that is logged). "TxtSpeakToFile(" writes an absolute output
// name where it says and a relative one into the selected voice directory;
// an output that cannot be written (a folder, a full disk) is a failure in
// every form the syllable library and the system voice write.
//
// Thread rules: the statements run on their line's thread.
#ifndef VTTEL_TELEPHONY_STATEMENTS_SPEECH_STATEMENTS_H_
#define VTTEL_TELEPHONY_STATEMENTS_SPEECH_STATEMENTS_H_

#include <string>
#include <string_view>

namespace engine {
class TagTelBasic;
}

namespace telephony {

// The text, turned into simplified GBK when IsBig5Text takes it for Big5
// (each conversion logged with the text's first bytes, logging on).
std::string SpeechText(std::string_view text);

// Registers the statements and the speech store.
void RegisterSpeechStatements();

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_SPEECH_STATEMENTS_H_

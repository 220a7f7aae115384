// The program's version text ("Ver2.41-DjTup"): empty until the main window
// is created, which sets it; the line drive writes it to the log when it is
// built.
//
// Thread rules: any thread; the text is copied out under a lock.
#ifndef VTTEL_FRAME_VERSION_TEXT_H_
#define VTTEL_FRAME_VERSION_TEXT_H_

#include <string>
#include <string_view>

namespace frame {

std::string VersionText();
void SetVersionText(std::string_view text);

}  // namespace frame

#endif  // VTTEL_FRAME_VERSION_TEXT_H_

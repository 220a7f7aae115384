#include "gui/qt_text.h"

#include "platform/codepage.h"

namespace gui {

QString FromGbk(std::string_view gbk) {
  const std::u16string units = platform::ToUtf16(platform::CodePage::kGbk, gbk);
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

std::string ToGbk(const QString& text) {
  const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                  static_cast<size_t>(text.size()));
  return platform::FromUtf16(platform::CodePage::kGbk, units);
}

}  // namespace gui

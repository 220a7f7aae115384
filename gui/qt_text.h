// The GBK texts of the system at the Qt boundary.
//
// Thread rules: none.
#ifndef VTTEL_GUI_QT_TEXT_H_
#define VTTEL_GUI_QT_TEXT_H_

#include <QString>
#include <string>
#include <string_view>

namespace gui {

QString FromGbk(std::string_view gbk);
std::string ToGbk(const QString& text);

}  // namespace gui

#endif  // VTTEL_GUI_QT_TEXT_H_

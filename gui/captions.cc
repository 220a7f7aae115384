#include "gui/captions.h"

namespace gui {
namespace {

struct EntryCaption {
  Entry entry;
  const char* chinese;
  const char* english;
};

constexpr EntryCaption kCaptions[] = {
    {Entry::kFileMenu, "文件(&F)", "&File"},
    {Entry::kOperationMenu, "操作(&O)", "&Operation"},
    {Entry::kDebugMenu, "调试(&D)", "&Debug"},
    {Entry::kOpen, "打开(&O)", "&Open"},
    {Entry::kReset, "复位(&R)", "&Reset"},
    {Entry::kReload, "重新加载(&L)", "Re&load"},
    {Entry::kExit, "退出(&X)", "E&xit"},
    {Entry::kConfigure, "打开配置文件", "&Configure"},
    {Entry::kViewLog, "查看运行日志", "View&Log"},
    {Entry::kStatusToggle, "隐藏状态区", "HideStatus&Area"},
    {Entry::kOpenPage, "开启...", "Open Page..."},
    {Entry::kClosePage, "关闭当前页", "Close Page"},
    {Entry::kCloseAll, "关闭全部页", "Close All"},
    {Entry::kStep, "单步", "Step"},
    {Entry::kRun, "运行", "Run"},
    {Entry::kFlush, "刷新变量列表", "Flush"},
    {Entry::kCallStack, "显示调用堆栈", "Call Stack..."},
    {Entry::kBreakpoint, "设置(取消)断点", "设置(取消)断点"},
    {Entry::kOpenDebug, "Open Debug ...", "Open Debug ..."},
    {Entry::kHangup, "Hangup", "Hangup"},
    {Entry::kClosePageButton, "关闭当前页(F2)", "ClosePage(F2)"},
    {Entry::kStepButton, "单步(F8)", "Step(F8)"},
    {Entry::kRunButton, "运行(F9)", "Run(F9)"},
    {Entry::kFlushButton, "刷新(F5)", "Flush(F5)"},
    {Entry::kAutoFlush, "动态刷新&A", "&Auto Flush"},
};

constexpr const char* kChineseTitle = "Vantorel语音系统 运行平台";
constexpr const char* kEnglishTitle = "Vantorel CTI Server";

}  // namespace

const char* Caption(Entry entry, bool english) {
  for (const EntryCaption& c : kCaptions) {
    if (c.entry == entry) return english ? c.english : c.chinese;
  }
  return "";
}

const char* StatusToggleCaption(bool shown, bool english) {
  if (english) return shown ? "HideStatus&Area" : "DispStatus&Area";
  return shown ? "隐藏状态区(&A)" : "显示状态区(&A)";
}

std::string WindowTitle(std::string_view form_title, bool english) {
  if (!form_title.empty()) return std::string(form_title);
  return english ? kEnglishTitle : kChineseTitle;
}

}  // namespace gui

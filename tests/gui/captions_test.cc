#include "gui/captions.h"

#include <string>

#include "gtest/gtest.h"
#include "gui/default_layout.h"

namespace gui {
namespace {

struct CaptionCase {
  Entry entry;
  const char* chinese;
  const char* english;
};

TEST(CaptionsTest, EveryEntryInBothLanguages) {
  const CaptionCase cases[] = {
      {Entry::kFileMenu, "文件(&F)", "&File"},
      {Entry::kOperationMenu, "操作(&O)", "&Operation"},
      {Entry::kDebugMenu, "调试(&D)", "&Debug"},
      {Entry::kOpen, "打开(&O)", "&Open"},
      {Entry::kReset, "复位(&R)", "&Reset"},
      {Entry::kReload, "重新加载(&L)", "Re&load"},
      {Entry::kExit, "退出(&X)", "E&xit"},
      {Entry::kStatusToggle, "隐藏状态区", "HideStatus&Area"},
      {Entry::kConfigure, "打开配置文件", "&Configure"},
      {Entry::kViewLog, "查看运行日志", "View&Log"},
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
  for (const CaptionCase& c : cases) {
    EXPECT_EQ(std::string(Caption(c.entry, false)), c.chinese);
    EXPECT_EQ(std::string(Caption(c.entry, true)), c.english);
  }
}

TEST(CaptionsTest, StatusToggleAndTitle) {
  EXPECT_EQ(std::string(StatusToggleCaption(true, false)), "隐藏状态区(&A)");
  EXPECT_EQ(std::string(StatusToggleCaption(false, false)), "显示状态区(&A)");
  EXPECT_EQ(std::string(StatusToggleCaption(true, true)), "HideStatus&Area");
  EXPECT_EQ(std::string(StatusToggleCaption(false, true)), "DispStatus&Area");
  EXPECT_EQ(WindowTitle("", false), "Vantorel语音系统 运行平台");
  EXPECT_EQ(WindowTitle("", true), "Vantorel CTI Server");
  EXPECT_EQ(WindowTitle("呼叫中心", true), "呼叫中心");
}

TEST(DefaultLayoutTest, ComputedColumnWidths) {
  struct Case {
    int32_t width, groups;
    bool sentence;
    std::array<int32_t, 8> widths;
  } cases[] = {
      // 1280 / 3 = 426; (426 - 74) / 3 = 117.
      {1280, 3, true, {16, 10, 10, 10, 20, 117, 117, 117}},
      // Run Info hidden: column 4 is 1 pixel, 54 used: (640 - 54) / 3 = 195.
      {1280, 2, false, {16, 10, 10, 10, 1, 195, 195, 195}},
      // Too narrow for the user columns: they get 10 pixels.
      {100, 10, true, {16, 10, 10, 10, 20, 10, 10, 10}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DefaultColumnWidths(c.width, c.groups, c.sentence), c.widths) << c.width;
  }
  EXPECT_FALSE(UsesDefaultLayout(1));
  EXPECT_TRUE(UsesDefaultLayout(2));
}

}  // namespace
}  // namespace gui

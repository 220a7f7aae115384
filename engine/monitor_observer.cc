#include "engine/monitor_observer.h"

#include "engine/tel_basic.h"
#include "frame/monitor.h"

namespace engine {

void MonitorRunObserver::SetLineStatus(int32_t line_no, std::string_view status) {
  frame::SetLineStatus(line_no, status);
}

void MonitorRunObserver::OnStepMain(const TagTelBasic& script, int32_t index,
                                    std::string_view source, int32_t line_no) {
  if (Closing()) return;
  if (script.isChild) {
    frame::DispSentence(source, line_no);
  } else {
    frame::MarkLineStep(line_no, index);
  }
}

void MonitorRunObserver::OnStepSub(const TagTelBasic&, int32_t, std::string_view source,
                                   int32_t line_no, bool, bool) {
  if (Closing()) return;
  frame::DispSentence(source, line_no);
}

}  // namespace engine

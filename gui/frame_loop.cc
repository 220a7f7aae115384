#include "gui/frame_loop.h"

#include <QMetaObject>

namespace gui {

FrameLoop::FrameLoop(frame::FrameController* controller, QObject* parent)
    : QObject(parent), controller_(controller) {
  timer_.setSingleShot(false);
  connect(&timer_, &QTimer::timeout, this, &FrameLoop::TickNow);
}

void FrameLoop::InstallWakeHook() {
  controller_->SetWakeHook([this] { Wake(); });
}

void FrameLoop::Start() {
  timer_.start(static_cast<int>(controller_->display_period_ms()));
}

void FrameLoop::Wake() {
  if (wake_queued_.exchange(true, std::memory_order_acq_rel)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        wake_queued_.store(false, std::memory_order_release);
        TickNow();
      },
      Qt::QueuedConnection);
}

void FrameLoop::TickNow() {
  // A modal box opened inside a Tick runs a nested event loop: the timer
  // must not enter the frame again from there.
  if (in_tick_ || ended_) return;
  in_tick_ = true;
  controller_->Tick();
  in_tick_ = false;
  const int period = static_cast<int>(controller_->display_period_ms());
  if (timer_.isActive() && timer_.interval() != period) timer_.setInterval(period);
  CheckEnded();
}

void FrameLoop::Exit() {
  if (ended_) return;
  controller_->Shutdown();
  CheckEnded();
}

void FrameLoop::Reload() {
  if (!ended_) controller_->Reload();
}

bool FrameLoop::CloseBox() {
  if (ended_) return false;
  if (controller_->CloseBox() == frame::kCloseBoxHides) return true;
  CheckEnded();
  return false;
}

void FrameLoop::CheckEnded() {
  if (ended_ || !controller_->ended()) return;
  ended_ = true;
  timer_.stop();
  emit Ended(controller_->exit_status());
}

}  // namespace gui

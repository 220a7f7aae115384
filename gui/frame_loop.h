// Drives the frame controller from the Qt event loop: a timer runs Tick
// every display period (re-read after each Tick, since Create changes it
// from 1000 ms to DISP_DELAY), a posted quit from any thread queues one
// extra Tick to the window thread (requests arriving before it runs are
// folded into it), and the menu commands that end the program (exit, the
// close box) report the end like Tick does: Ended(status) is emitted once.
//
// Ownership: the controller is the caller's and must outlive the loop.
// Thread rules: everything on the window thread except Wake (any thread,
// never blocks).
#ifndef VTTEL_GUI_FRAME_LOOP_H_
#define VTTEL_GUI_FRAME_LOOP_H_

#include <QObject>
#include <QTimer>
#include <atomic>

#include "frame/frame_controller.h"

namespace gui {

class FrameLoop : public QObject {
  Q_OBJECT

 public:
  explicit FrameLoop(frame::FrameController* controller, QObject* parent = nullptr);

  frame::FrameController* controller() const { return controller_; }
  // Installs Wake as the controller's wake hook. Call before its Start.
  void InstallWakeHook();
  // Starts the timer at the controller's display period.
  void Start();
  // Any thread: queues a Tick; never blocks.
  void Wake();
  // One Tick now (the timer and Wake come here).
  void TickNow();

  // "退出(&X)": the shutdown.
  void Exit();
  // "重新加载(&L)".
  void Reload();
  // The close box: true when the window is only to hide; otherwise the
  // program has ended (Ended is emitted).
  bool CloseBox();
  bool ended() const { return ended_; }

 signals:
  void Ended(int status);

 private:
  void CheckEnded();

  frame::FrameController* controller_;
  QTimer timer_;
  std::atomic<bool> wake_queued_{false};
  bool in_tick_ = false;
  bool ended_ = false;
};

}  // namespace gui

#endif  // VTTEL_GUI_FRAME_LOOP_H_

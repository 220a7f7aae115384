// What the frame's life cycle needs of the script debugger: its pages are
// closed first at shutdown (before the line drive goes) and before a
// reload starts (the scripts they show are about to be replaced).
//
// Ownership: the window layer owns the debugger; it outlives the
// controller's use of it (set to null before it goes). Thread rules:
// window thread.
#ifndef VTTEL_FRAME_DEBUGGER_H_
#define VTTEL_FRAME_DEBUGGER_H_

namespace frame {

class Debugger {
 public:
  virtual ~Debugger() = default;
  // Closes every page: the lines they paused run on, their breakpoints go.
  virtual void CloseAllPages() = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_DEBUGGER_H_

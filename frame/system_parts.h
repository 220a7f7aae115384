// What the frame's life cycle needs of the layers above it: the line drive
// on the board. The program implements it with the telephony line drive and
// the simulated board; the frame never includes those layers.
//
// Ownership: the implementation owns the drive (at most one at a time).
// Thread rules: BuildDrive, DeleteDrive, StartReload and the queries come
// from the window thread; RunAllLines from the main run thread;
// BeginShutdown and LineInfo's questions from any thread. Facts() stays
// valid until DeleteDrive.
#ifndef VTTEL_FRAME_SYSTEM_PARTS_H_
#define VTTEL_FRAME_SYSTEM_PARTS_H_

#include <cstdint>
#include <string_view>

#include "frame/line_facts.h"
#include "frame/monitor_line_info.h"
#include "frame/run_cfg.h"

namespace frame {

// Lines of the drive by kind.
struct LinesByKind {
  int32_t total = 0, external = 0, internal = 0, virtual_lines = 0, ip = 0;
};

class SystemParts {
 public:
  virtual ~SystemParts() = default;
  // Builds the line drive from cfg_file (reading it into *cfg) and returns
  // its status: 0 ready, negative failed (the drive still exists until
  // DeleteDrive).
  virtual int32_t BuildDrive(std::string_view cfg_file, TagRunCfg* cfg) = 0;
  virtual bool HasDrive() const = 0;
  // The drive's status; meaningful only while HasDrive().
  virtual int32_t DriveStatus() const = 0;
  // nullptr without a drive.
  virtual const LineDriveFacts* Facts() const = 0;
  virtual LinesByKind CountLinesByKind() const = 0;
  // What the monitor table asks about the lines. It lives as long as the
  // parts (longer than any drive) and answers "no drive" without one.
  virtual LineInfoSource* LineInfo() = 0;
  // Loads every line the file assigns a script to; returns when all are
  // handed out or the shutdown began. Runs on the main run thread.
  virtual int32_t RunAllLines(std::string_view cfg_file) = 0;
  // Starts a reload of every line and returns at once.
  virtual void StartReload() = 0;
  // Stops handing out lines and refuses further passes; never undone.
  virtual void BeginShutdown() = 0;
  // Stops every line and frees the drive (bounded waits).
  virtual void DeleteDrive() = 0;
  // Lines whose threads outlived the drive's waits and still run.
  virtual int32_t AbandonedLines() = 0;
};

}  // namespace frame

#endif  // VTTEL_FRAME_SYSTEM_PARTS_H_

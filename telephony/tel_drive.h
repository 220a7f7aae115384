// TagTelDrive: the line drive, the one object that owns every telephone
// line. It has its cards (physical board, SIP, virtual) create their lines,
// numbers them from 0 in that order, keeps them in the line table, writes
// "LinesList.txt", answers the questions the window, the monitor and the
// statements ask about lines, and loads, runs, reloads and stops the
// line's scripts on their own threads.
//
// Ownership: the drive owns its cards and lines; a line owns its call
// object and shares its script with the threads that read it. A line whose
// run does not end within the bounded waits of CloseAllTelLine is left to
// its thread: that line, its call object and the cards are then kept for
// the rest of the process instead of being freed under it.
//
// Thread rules: built and deleted on the window thread. RunAllLines runs on
// the main run thread or the reload thread; RunAllLines, LoadLine, Reload
// and CloseAllTelLine are serialised by the drive's pass lock. The query
// and count operations may be called from any thread at any time.
// Deleting the drive while RunAllLines is handing out lines on another
// thread is allowed: the pass stops, and the drive stops and joins the
// lines' threads before it frees them (the caller joins its own thread).
#ifndef VTTEL_TELEPHONY_TEL_DRIVE_H_
#define VTTEL_TELEPHONY_TEL_DRIVE_H_

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/line_call.h"
#include "frame/line_facts.h"
#include "frame/run_cfg.h"
#include "platform/thread.h"
#include "telephony/board/vt_card.h"
#include "telephony/name_conf.h"
#include "telephony/tel_line.h"
#include "telephony/tel_line_kind.h"
#include "telephony/tel_line_threads.h"
#include "telephony/vt_call.h"

namespace board {
class Binding;
}

namespace telephony {

// One card and the maker of the call object of a card index (numbered
// line_no in the table; null when the card has no such line).
struct TelCard {
  std::unique_ptr<TagVtCard> card;
  std::function<std::unique_ptr<TagVtCall>(int32_t index, int32_t line_no)> make_call;
};

// The three cards in the order the drive numbers their lines.
struct TelCards {
  TelCard phy, sip, vir;
};

// Makes the cards once the run configuration is read (cfg null: no file).
using TelCardFactory = std::function<TelCards(const frame::TagRunCfg* cfg)>;

// The system's cards: the TUP board drive on binding (which must outlive
// the drive), the SIP card without lines, and VIR_LINES_NUM virtual lines
// named by LANGUAGE_TYPE (one Chinese-named line without a record).
TelCardFactory SystemCards(board::Binding& binding);

// Card kinds of GetCall.
inline constexpr int32_t kCardSip = 0;
inline constexpr int32_t kCardPhysical = 1;
inline constexpr int32_t kCardVirtual = 2;
inline constexpr int32_t kCardNone = 255;

// Drive status.
inline constexpr int32_t kDriveBuilding = -1;
inline constexpr int32_t kDriveReady = 0;
inline constexpr int32_t kDriveCfgError = -100;

// Results of RunAllLines.
inline constexpr int32_t kRunOk = 0;
inline constexpr int32_t kRunNoLines = -1;
inline constexpr int32_t kRunNoFile = -2;
inline constexpr int32_t kRunShuttingDown = -3;

// Bounded waits of CloseAllTelLine.
inline constexpr uint32_t kCloseWaitMs = 35000;   // for every run to end
inline constexpr uint32_t kCloseCheckMs = 50;     // how often the wait looks
inline constexpr uint32_t kEndRunSettleMs = 350;  // after endRun is set
inline constexpr uint32_t kLoadJoinMs = 10000;    // for a load thread
inline constexpr uint32_t kRunJoinMs = 1000;      // for all run threads, after all that
// The file the Reload menu restarts from.
inline constexpr std::string_view kRunCfgFile = "VtTelRun.cfg";
// Pause after each load and each reload request: LOAD_DELAY/4 + this.
inline constexpr uint32_t kLoadPauseExtraMs = 55;

// Lines kept after their drive because their threads outlived the waits:
// joins the threads that end within ms and frees those lines (and the kept
// cards once no kept line is left). Returns the number still kept.
int32_t ReapAbandonedLines(uint32_t ms);

class TagTelDrive : public engine::LineTableFacts, public frame::LineDriveFacts {
 public:
  // Reads the configuration file into cfg (when both are given), makes the
  // cards and the lines, and writes "LinesList.txt". The caller reads
  // status afterwards; a drive with status kDriveCfgError has no lines.
  // cfg (when given) must outlive the drive.
  TagTelDrive(std::string_view cfg_file, frame::TagRunCfg* cfg, const TelCardFactory& cards);
  // Stops every line, then frees lines and cards (see the class comment).
  ~TagTelDrive() override;
  TagTelDrive(const TagTelDrive&) = delete;
  TagTelDrive& operator=(const TagTelDrive&) = delete;

  // --- line table -------------------------------------------------------
  int32_t LineCount() const override { return line_count_; }
  // The store of the script on a line in use (TagTelLine::Store).
  std::shared_ptr<engine::ScriptStore> LineStore(int32_t line,
                                                 engine::StoreSlot slot) const override;
  const frame::LineDriveFacts* DriveFacts() const override { return this; }
  // Every line the cards created (also those above TOTAL_LINES_NUM).
  int32_t CreatedLineCount() const { return static_cast<int32_t>(lines_.size()); }
  // The line record; null outside the lines in use.
  TagTelLine* Line(int32_t line) const;
  // The call object of a line by the cards' line counts; null, card kind
  // kCardNone and a log line outside them.
  TagVtCall* GetCall(int32_t line, int32_t* card_kind) const;
  // Talk seconds and connect time of a connected line with a script.
  bool GetTalkTime(int32_t line, int32_t* talk_seconds, int32_t* connect_time) const override;
  // 1 blocked, 0 not, -1 bad line or no script.
  int32_t GetBlockState(int32_t line) const override;
  int32_t CountConnectedLines(int32_t* external, int32_t* internal, int32_t* virtual_lines,
                              int32_t* ip) const override;
  // Adds the dialing external and IP lines to the counters.
  int32_t CountDialingLines(int32_t* external, int32_t* ip) const override;
  int32_t CountReloadPending() const override;
  int32_t CountLinesByKind(int32_t* external, int32_t* internal, int32_t* virtual_lines,
                           int32_t* ip) const;
  void WriteLinesList() const;

  // --- line threads ---------------------------------------------------
  // Stops all lines and loads every line the file assigns a script to;
  // kRunOk, kRunNoLines, kRunNoFile or kRunShuttingDown.
  int32_t RunAllLines(std::string_view cfg_file);
  // Hands a script file to a line and pauses LOAD_DELAY/4 + 55 ms: 0, or
  // -1 for a line outside the table. A line that is already loading or
  // has a script keeps it: its compile result (0 while loading) is
  // returned and nothing is loaded.
  int32_t LoadLine(int32_t line, std::string_view script_file);
  // Starts Reload on the reload thread (ignored while one runs).
  void StartReload();
  // Waits at most ms for the reload thread (UINT32_MAX: until it ends; its
  // own waits are bounded); true when none runs.
  bool WaitReload(uint32_t ms);
  // Recompiles every line, waiting for connected calls to end; restarts all
  // lines when one has not compiled or is not running.
  void Reload();
  // Stops every line's script and takes the scripts off the lines.
  void CloseAllTelLine();
  // Refuses further passes and stops handing out lines; the destructor
  // calls it first. Never undone.
  void BeginShutdown();
  bool started() const { return flags_->started.load(); }

  // Card line counts.
  int32_t PhyCount() const { return phy_.card ? phy_.card->telCount : 0; }
  int32_t SipCount() const { return sip_.card ? sip_.card->telCount : 0; }
  int32_t VirCount() const { return vir_.card ? vir_.card->telCount : 0; }

  // The registry of the named meeting rooms; installed for the call
  // objects while the drive is ready.
  TagNameConfCtrl& nameConf() { return name_conf_; }

  std::atomic<int32_t> status{kDriveBuilding};

 private:
  void CreateLines();
  void CreateCardLines(TelCard& card);
  void FreeLines();
  uint32_t LoadPauseMs() const;
  bool PauseForLoad() const;
  int32_t LoadLineLocked(int32_t line, std::string_view script_file);
  void HandOutLines(FILE* file, std::string_view cfg_file);
  void LogNumbersOutside(const std::vector<int32_t>& numbers, std::string_view cfg_file,
                         std::string_view cfg_line) const;
  void CloseAllLinesLocked();
  void JoinLoadThreads();
  void RaiseStop(bool end_run);
  bool AllNotRunning() const;
  void JoinRunThreads();
  // Until every run has ended or kCloseWaitMs have passed since start.
  void WaitRunsEnded(uint32_t start);
  bool NeedsRestart() const;
  void RequestReloads();
  static void RequestReload(engine::TagTelBasic& script);

  frame::TagRunCfg* cfg_;
  TelCard phy_, sip_, vir_;
  TagNameConfCtrl name_conf_;  // outlives the lines (declared before them)
  std::vector<std::unique_ptr<TagTelLine>> lines_;
  int32_t line_count_ = 0;
  std::atomic<bool> shutting_down_{false};
  std::shared_ptr<LineRunFlags> flags_ = std::make_shared<LineRunFlags>();
  std::mutex pass_mu_;  // one pass (RunAllLines, Reload, CloseAllTelLine) at a time
  std::mutex reload_mu_;
  platform::Thread reload_thread_;  // guarded by reload_mu_
};

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_TEL_DRIVE_H_

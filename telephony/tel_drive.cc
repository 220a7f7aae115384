#include "telephony/tel_drive.h"

#include <cstdio>
#include <utility>

#include "engine/client_libraries.h"
#include "frame/log.h"
#include "frame/version_text.h"
#include "platform/message_service.h"
#include "telephony/board/dj_tup_drive.h"
#include "telephony/board/vir_card.h"
#include "telephony/tel_lines_list.h"

namespace telephony {
namespace {

constexpr std::string_view kCaption = "Vantorel System";
constexpr size_t kMessageMax = 600;

// What the drive keeps instead of freeing when a line's thread outlived
// the bounded waits: reachable for the rest of the process.
struct AbandonedParts {
  std::mutex mu;
  std::vector<std::unique_ptr<TagTelLine>> lines;
  std::vector<std::unique_ptr<TagVtCard>> cards;
  std::vector<std::shared_ptr<LineRunFlags>> flags;
};

AbandonedParts& Abandoned() {
  static auto* parts = new AbandonedParts;
  return *parts;
}

}  // namespace

int32_t ReapAbandonedLines(uint32_t ms) {
  AbandonedParts& kept = Abandoned();
  std::lock_guard<std::mutex> lock(kept.mu);
  std::erase_if(kept.lines, [ms](const std::unique_ptr<TagTelLine>& line) {
    for (platform::Thread* thread : {&line->loadThread(), &line->runThread()}) {
      if (thread->joinable() && !thread->JoinFor(ms)) return false;
    }
    return true;
  });
  if (kept.lines.empty()) {
    kept.cards.clear();
    kept.flags.clear();
  }
  return static_cast<int32_t>(kept.lines.size());
}

TelCardFactory SystemCards(board::Binding& binding) {
  return [&binding](const frame::TagRunCfg* cfg) {
    TelCards cards;
    frame::WriteRawLog("MakeCardDrive() ...");
    auto phy = std::make_unique<TagDjTupDrive>(binding);
    TagDjTupDrive* board = phy.get();
    cards.phy = {std::move(phy),
                 [board](int32_t index, int32_t) { return board->CreateLineCall(index); }};
    frame::WriteRawLog("MakeCardDrive() OK.");
    cards.sip = {CreateSipCard(), [](int32_t, int32_t) { return std::unique_ptr<TagVtCall>(); }};
    const int32_t lines = cfg != nullptr ? static_cast<int32_t>(cfg->virtual_lines) : 1;
    const int32_t english = cfg != nullptr ? cfg->language : 0;
    auto vir = std::make_unique<TagVirCard>(lines, english);
    TagVirCard* virtual_card = vir.get();
    cards.vir = {std::move(vir), [virtual_card](int32_t index, int32_t line_no) {
                   return virtual_card->CreateLineCall(index, line_no);
                 }};
    return cards;
  };
}

TagTelDrive::TagTelDrive(std::string_view cfg_file, frame::TagRunCfg* cfg,
                         const TelCardFactory& cards)
    : cfg_(cfg) {
  flags_->started.store(true);
  const std::string version = frame::VersionText();
  frame::LogAlways(version);
  frame::WriteRawLog(version);
  engine::LoadClientLibraries();
  const int read = cfg != nullptr && !cfg_file.empty() ? frame::ReadCfgFile(cfg_file, cfg)
                                                       : frame::kCfgOk;
  if (read != frame::kCfgOk) {
    frame::LogAlwaysF("\"%.*s\": %s; no line is made.", static_cast<int>(cfg_file.size()),
                      cfg_file.data(),
                      read == frame::kCfgLinesOverlap ? "two line lists give the same line"
                                                      : "the file cannot be opened");
    char text[kMessageMax];
    std::snprintf(text, sizeof text, "\"%.*s\" File Open Error.",
                  static_cast<int>(cfg_file.size()), cfg_file.data());
    platform::ShowMessage(text, kCaption, platform::MessageIcon::kError);
    status.store(kDriveCfgError);
    return;
  }
  TelCards made = cards(cfg);
  phy_ = std::move(made.phy);
  sip_ = std::move(made.sip);
  vir_ = std::move(made.vir);
  if (auto* virtual_card = dynamic_cast<TagVirCard*>(vir_.card.get())) {
    virtual_card->lineDrive = this;
  }
  CreateLines();
  status.store(kDriveReady);
  engine::SetLineTableFacts(this);
  InstallNameConfCtrl(&name_conf_);
  frame::WriteRawLog("Driver OK.");
  frame::LogMsg("Driver OK.");
  WriteLinesList();
}

void TagTelDrive::CreateLines() {
  frame::WriteRawLog("Init Lines ...");
  for (TelCard* card : {&phy_, &sip_, &vir_}) CreateCardLines(*card);
  line_count_ = static_cast<int32_t>(lines_.size());
  if (cfg_ != nullptr && cfg_->total_lines > 0 &&
      cfg_->total_lines < static_cast<uint32_t>(line_count_)) {
    line_count_ = static_cast<int32_t>(cfg_->total_lines);
  }
}

void TagTelDrive::CreateCardLines(TelCard& card) {
  if (card.card == nullptr) return;
  const auto room = frame::kMaxTableLines - static_cast<int32_t>(lines_.size());
  if (card.card->telCount > room) {
    frame::LogAlwaysF("Init Lines: the line table holds at most %d lines; %d of the card's %d "
                      "lines are made.",
                      frame::kMaxTableLines, room, card.card->telCount);
    card.card->telCount = room;
  }
  for (int32_t index = 0; index < card.card->telCount; ++index) {
    const auto line_no = static_cast<int32_t>(lines_.size());
    std::unique_ptr<TagVtCall> call = card.make_call ? card.make_call(index, line_no) : nullptr;
    if (call == nullptr) {
      // Keeps the numbering by the card counts: a line that does nothing.
      frame::LogAlwaysF("Init Lines: the card made no call for its line %d (line %d).", index,
                        line_no);
      call = std::make_unique<TagVtCall>();
      card.card->CreateLineName(index, call->lineName);
    }
    call->lineNo = line_no;
    lines_.push_back(std::make_unique<TagTelLine>(line_no, card.card.get(), std::move(call)));
  }
}

TagTelDrive::~TagTelDrive() {
  BeginShutdown();
  if (status.load() != kDriveCfgError) {
    WaitReload(UINT32_MAX);
    frame::WriteRawLog("Driver Close...");
    frame::WriteRawLog("CloseAllTelLine()...");
    CloseAllTelLine();
    frame::WriteRawLog("CloseAllTelLine() OK.");
  }
  if (status.load() == kDriveReady) {
    engine::SetLineTableFacts(nullptr);
    InstallNameConfCtrl(nullptr);
  }
  FreeLines();
}

void TagTelDrive::FreeLines() {
  bool any_abandoned = false;
  for (auto& line : lines_) {
    if (line->abandoned()) {
      frame::LogAlwaysF("%d: the line's thread is still running; the line is kept.",
                        line->lineNo());
      std::lock_guard<std::mutex> lock(Abandoned().mu);
      Abandoned().lines.push_back(std::move(line));
      any_abandoned = true;
    }
    line.reset();
  }
  lines_.clear();
  frame::WriteRawLog("pPhyCard->FreeLine() OK.");
  frame::WriteRawLog("pSipCard->FreeLine() OK.");
  frame::WriteRawLog("pVirCard->FreeLine() OK.");
  std::lock_guard<std::mutex> lock(Abandoned().mu);
  for (TelCard* card : {&vir_, &sip_, &phy_}) {
    card->make_call = nullptr;
    if (any_abandoned && card->card) Abandoned().cards.push_back(std::move(card->card));
    card->card.reset();
  }
  if (any_abandoned) Abandoned().flags.push_back(flags_);
  frame::WriteRawLog("delete pVirCard OK.");
  frame::WriteRawLog("delete pSipCard OK.");
  frame::WriteRawLog("delete pPhyCard OK.");
  engine::FreeClientLibraries();
  frame::WriteRawLog("Driver Closed.");
}

TagTelLine* TagTelDrive::Line(int32_t line) const {
  return line >= 0 && line < line_count_ ? lines_[static_cast<size_t>(line)].get() : nullptr;
}

std::shared_ptr<engine::ScriptStore> TagTelDrive::LineStore(int32_t line,
                                                           engine::StoreSlot slot) const {
  const TagTelLine* l = Line(line);
  return l != nullptr ? l->Store(slot) : nullptr;
}

TagVtCall* TagTelDrive::GetCall(int32_t line, int32_t* card_kind) const {
  const int32_t phy = PhyCount(), sip = SipCount(), vir = VirCount();
  int32_t kind = kCardNone;
  if (line >= 0 && line < phy) {
    kind = kCardPhysical;
  } else if (line >= phy && line < phy + sip) {
    kind = kCardSip;
  } else if (line >= phy + sip && line < phy + sip + vir) {
    kind = kCardVirtual;
  }
  if (card_kind != nullptr) *card_kind = kind;
  if (kind == kCardNone || static_cast<size_t>(line) >= lines_.size()) {
    frame::LogMsgF(
        "TagTelDrive::GetCall(ch=%d): pPhyCard->telCount=%d, pSipCard->telCount=%d, "
        "pVirCard->telCount=%d",
        line, phy, sip, vir);
    return nullptr;
  }
  return &lines_[static_cast<size_t>(line)]->call();
}

bool TagTelDrive::GetTalkTime(int32_t line, int32_t* talk_seconds, int32_t* connect_time) const {
  const TagTelLine* record = Line(line);
  if (record == nullptr) return false;
  const std::shared_ptr<engine::TagTelBasic> script = record->Script();
  if (script == nullptr || script->call == nullptr) return false;
  const TagVtCall& call = record->call();
  if (call.callState.load() != engine::kCallConnected) return false;
  const int32_t connected = call.connectTime.load();
  *talk_seconds = CalendarSeconds() - connected;
  *connect_time = connected;
  return true;
}

int32_t TagTelDrive::GetBlockState(int32_t line) const {
  const TagTelLine* record = Line(line);
  if (record == nullptr) return -1;
  const std::shared_ptr<engine::TagTelBasic> script = record->Script();
  if (script == nullptr || script->call == nullptr) return -1;
  return record->call().blocked.load();
}

int32_t TagTelDrive::CountConnectedLines(int32_t* external, int32_t* internal,
                                         int32_t* virtual_lines, int32_t* ip) const {
  LineGroupCounts counts;
  for (int32_t i = 0; i < line_count_; ++i) {
    const TagVtCall& call = lines_[static_cast<size_t>(i)]->call();
    if (call.callState.load() == engine::kCallConnected) counts.Add(call.lineKind);
  }
  *external = counts.external;
  *internal = counts.internal;
  *virtual_lines = counts.virtual_lines;
  *ip = counts.ip;
  return counts.Total();
}

int32_t TagTelDrive::CountDialingLines(int32_t* external, int32_t* ip) const {
  LineGroupCounts counts;
  for (int32_t i = 0; i < line_count_; ++i) {
    const TagVtCall& call = lines_[static_cast<size_t>(i)]->call();
    if (call.callState.load() == engine::kCallDialing) counts.Add(call.lineKind);
  }
  *external += counts.external;
  *ip += counts.ip;
  return *external + *ip;
}

int32_t TagTelDrive::CountReloadPending() const {
  int32_t pending = 0;
  for (int32_t i = 0; i < line_count_; ++i) {
    const auto script = lines_[static_cast<size_t>(i)]->Script();
    if (script != nullptr && script->reloadRequest.load() != 0) ++pending;
  }
  return pending;
}

int32_t TagTelDrive::CountLinesByKind(int32_t* external, int32_t* internal,
                                      int32_t* virtual_lines, int32_t* ip) const {
  LineGroupCounts counts;
  for (int32_t i = 0; i < line_count_; ++i) {
    counts.Add(lines_[static_cast<size_t>(i)]->call().lineKind);
  }
  *external = counts.external;
  *internal = counts.internal;
  *virtual_lines = counts.virtual_lines;
  *ip = counts.ip;
  return counts.Total();
}

void TagTelDrive::WriteLinesList() const {
  std::vector<LinesListRow> rows;
  for (int32_t i = 0; i < line_count_; ++i) {
    const TagTelLine& line = *lines_[static_cast<size_t>(i)];
    rows.push_back({line.lineNo(), line.call().lineKind, line.lineName()});
  }
  WriteLinesListFile(kLinesListFile, FormatLinesList(rows));
}

}  // namespace telephony

// TagVtCall: the call object of one line. Every line of the line table owns
// exactly one; the line's script reaches the line only through its virtual
// operations (the slots below, in the order in which the line kinds override
// them and the statements call them), and the line threads, the display
// timer and the monitor read its state.
//
// The base class holds the fields that every line kind shares, the
// maximum-talk-time watchdog of IsOnline, the sound-card voice that the
// virtual line uses as it stands (through the makers of pc_voice.h), the
// tone store and the raw-signalling store. Every other base operation stores
// a value or returns a fixed result; the line kinds override what they do.
//
// Thread rules: the object is used by its own line's thread. Other threads
// set stopFlag and read callState, connectTime and blocked, which are
// atomics. Texts are GBK bytes; "out" texts and integers are written only
// where an operation says so.
#ifndef VTTEL_TELEPHONY_VT_CALL_H_
#define VTTEL_TELEPHONY_VT_CALL_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/line_call.h"
#include "telephony/voice/pc_voice.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

class ScratchVoice;
class TagVtCard;  // the card that created a board line

// Limits of the call object's buffers.
inline constexpr size_t kLineNameMax = 80;     // lineName, without the terminator
inline constexpr size_t kKeyBufMax = 1024;     // keys held in keyBuf; more are dropped
inline constexpr size_t kSigRawMax = 300;      // sigRawData
// Keys of the tone records of "SetTones(".
inline constexpr int32_t kToneKeyMin = 250;
inline constexpr int32_t kToneKeyMax = 256;
// Sound-card loop play: bytes of 8 kHz 8-bit voice per millisecond.
inline constexpr uint32_t kVoiceBytesPerMs = 8;

// A tone record of "SetTones(": values[0] is the key (250..256), the other
// nine are the statement's values in order. No line kind consults them.
struct TagSignalTone {
  std::array<int32_t, 10> values{};
  int32_t key() const { return values[0]; }
};

// The functions a SIP line calls back (the system's own are in
// telephony/statements/sip_callbacks.h): the password of an account's user
// into two texts (or three, by address) with an integer result, and a
// registration notice.
using SipAccPwdCallback = int32_t (*)(std::string_view user, std::string& text1,
                                      std::string& text2);
using SipAccPwdIpCallback = int32_t (*)(std::string_view user, std::string& text1,
                                        std::string& text2, std::string& text3);
using SipRegisterNotifyCallback = int32_t (*)(std::string_view text1, std::string_view text2,
                                              int32_t value1, int32_t value2);

// Calendar time in seconds since 1970 of the installed clock
// (platform::GetClock().Now(), local time); connectTime and the talk-time
// watchdog count in it, so a test moves it with a FakeClock.
int32_t CalendarSeconds();

class TagVtCall : public engine::LineCallBase {
 public:
  TagVtCall();
  TagVtCall(const TagVtCall&) = delete;
  TagVtCall& operator=(const TagVtCall&) = delete;

  // --- Operations, by slot. ---------------------------------------------
  // 0: resume the sound-card loop play from loopPos; loopPos, or -1 while a
  // loop play runs, -2 before any StartLoopPlay, -3 when the open failed.
  virtual int32_t ReLoopPlay();
  virtual void SetCallerId(std::string_view number);                       // 1
  virtual void SetSubAddr(std::string_view text1, std::string_view text2);  // 2
  virtual void SetFirstCalleeId(std::string_view text, int32_t value);     // 3
  virtual void OpenLine();                                                 // 4
  virtual void CloseLine();                                                // 5
  virtual void ClearKeys();                                                // 6
  virtual int32_t OutCall(std::string_view number);                        // 7
  virtual int32_t WaitRing(int32_t rings);                                 // 8
  virtual int32_t IsRings(int32_t rings);                                  // 9
  virtual int32_t SetCharge(int32_t flag);                                 // 10
  virtual int32_t Answer(int32_t flag);                                    // 11
  // 12: 1 when a call is offered (then both numbers are written), else 0.
  virtual int32_t IsRinging(std::string& calling, std::string& called);
  virtual int32_t SipGetPeerMsg(std::string& text1, std::string& text2);   // 13
  virtual int32_t Spare14();                                               // 14
  // 15: 1 ended, 0 cut by a key, negative error. The base plays on the PC.
  virtual int32_t Play(std::string_view file, int32_t break_on_key, int32_t on_pc);
  // 16: plays a voice held in memory (a whole voice file, header included)
  // from a scratch file of the line's own (scratch_voice.h) through
  // PlayScratchVoice: Play's result; -1 when there are no bytes or they
  // cannot be written.
  virtual int32_t PlayMemVoc(const char* buffer, int32_t start, int32_t length,
                             int32_t reserved, int32_t break_on_key);      // 16
  virtual int32_t StartLoopPlay(std::string_view file, int32_t reserved);  // 17
  // 18: sound-card play; 0, or -2 when the file could not be opened.
  virtual int32_t PcPlay(std::string_view file, int32_t loop, int32_t wait,
                         int32_t break_on_key);
  virtual int32_t IsPcPlayEnd();                                           // 19
  // 20: 1 ended, 0 stopped by "#", -1 error or line lost.
  virtual int32_t Record(std::string_view file, int32_t max_seconds, int32_t stop_on_hash);
  virtual int32_t StartRecord(std::string_view file, int32_t max_seconds);  // 21
  // 22: key count or -1; the rules of collecting keys belong to the board lines.
  virtual int32_t GetKeys(std::string& buffer, int32_t max_keys, int32_t total_seconds,
                          std::string_view end_keys);
  virtual int32_t SetKeyTime(int32_t seconds);                             // 23
  virtual int32_t SetKeys(std::string_view digits);                        // 24
  virtual int32_t KeysLen();                                               // 25
  virtual void StopPlay();                                                 // 26
  virtual void Hangup();                                                   // 27
  virtual int32_t Spare28();                                               // 28
  virtual int32_t Spare29();                                               // 29
  virtual int32_t GetCallerId(std::string& number);                        // 30
  virtual int32_t GetCalleeId(std::string& number);                        // 31
  virtual int32_t GetFirstCalleeId(std::string& text);                     // 32
  virtual void SetFaxLocalId(std::string_view text);                       // 33
  virtual int32_t GetFaxResource(int32_t& total, int32_t& busy);           // 34
  virtual int32_t SendFax(std::string_view file);                          // 35
  virtual int32_t RecvFax(std::string_view file);                          // 36
  virtual void Spare37();                                                  // 37
  // 38: speech on the sound card; -1 unless on_pc, else the start result.
  virtual int32_t TxtSpeak(std::string_view text, int32_t from_file, int32_t file_is_xml,
                           int32_t on_pc);
  virtual int32_t TxtSpeakToFile(std::string_view text, std::string_view out_file,
                                 int32_t format, int32_t flag);            // 39
  virtual int32_t SetNobkringAns(int32_t flag);                            // 40
  virtual int32_t GetNobkringAns();                                        // 41
  virtual void SetVolume(int32_t value, int32_t type);                     // 42
  virtual void SetBusyPara(int32_t a, int32_t b, int32_t c);               // 43
  virtual void SetRingbackPara(int32_t a, int32_t b, int32_t c);           // 44
  virtual void SetSignalFreqPara(int32_t a, int32_t b, int32_t c);         // 45
  virtual void EnableLineSpeaker(int32_t on);                              // 46
  virtual int32_t LinkTo(int32_t line, int32_t mode);                      // 47
  virtual int32_t UnlinkTo(int32_t line, int32_t mode);                    // 48
  virtual int32_t UnlinkAll();                                             // 49
  virtual int32_t ListenTo(int32_t line, int32_t mode);                    // 50
  // 51: the members of the line's link group; the lists are written only
  // when the line has links.
  virtual int32_t GetLinkList(std::vector<int32_t>& lines, std::vector<int32_t>& listen_only,
                              std::vector<int32_t>& values);
  virtual int32_t SetBreak(int32_t flag);                                  // 52
  virtual int32_t Dial(std::string_view number);                           // 53
  // 54-66: instant messages.
  virtual int32_t ImSend(std::string_view address, std::string_view second,
                         std::string_view message, int32_t length);
  virtual int32_t ImTest();
  virtual int32_t ImRead(std::string& text1, std::string& text2, std::string& text3,
                         std::string& text4);
  virtual int32_t ImRecv(std::string& text, int32_t& handle);
  virtual int32_t ImMsgGetField(int32_t handle, std::string_view name, std::string_view second,
                                std::string& text);
  virtual int32_t ImMakeAns(int32_t handle, int32_t code, std::string_view text1,
                            std::string_view text2, std::string_view text3,
                            std::string_view text4);
  virtual int32_t ImMsgFree(int32_t handle);
  virtual int32_t ImMakeReq(const std::array<std::string_view, 8>& texts, std::string& id);
  virtual int32_t ImFileSend(std::string_view file, std::string& id, int32_t& handle,
                             std::string& text1, int32_t& value, std::string& text2);
  virtual int32_t ImFileRecv(int32_t first, std::string_view name, int32_t third,
                             int32_t& handle, std::string& text1,
                             std::string& text2, std::string& text3, std::string& text4,
                             int32_t& value);
  virtual int32_t ImFileCheck(int32_t handle, int32_t& first, int32_t& second);
  virtual int32_t ImFileEnd(int32_t handle);
  virtual int32_t ImFileProcAnswer(std::string_view text);
  // 67: 1 connected, 0 in progress, negative failed.
  virtual int32_t CheckDial();
  virtual int32_t MakeRing(std::string_view calling);                      // 68
  virtual int32_t GetHookState();                                          // 69
  virtual int32_t TransferTo(std::string_view number);                     // 70
  // 71: true while the call is connected; runs the talk-time watchdog.
  // Every override calls this first.
  bool IsOnline() override;
  virtual int32_t ConnectMedia(TagVtCall* other);                          // 72
  virtual int32_t DisconnectMedia();                                       // 73
  virtual int32_t StartRtp();                                              // 74
  virtual int32_t EndRtp();                                                // 75
  virtual int32_t GetCallType();                                           // 76
  virtual int32_t SendFskMsg(int32_t type, std::string_view text, int32_t parameter);  // 77
  virtual int32_t RecvFskMsg(int32_t& type, std::string& text, int32_t timeout);       // 78
  virtual int32_t SipGetDestAddr(std::string_view name, std::string& address);        // 79
  virtual int32_t SipGetAccAddr(std::string_view user, std::string_view domain,
                                std::string& address, int32_t& port);     // 80
  virtual int32_t SipSetDialRoute(std::string_view first, std::string_view second);  // 81
  virtual int32_t SipGetRtpCount(int32_t& first, int32_t& second);         // 82
  // 83-85: a SIP line keeps the function it calls when an account's
  // password or a registration notice is wanted (sip_callbacks.h).
  virtual int32_t SetOnSipGetAccPwd(SipAccPwdCallback callback);            // 83
  virtual int32_t SetOnSipGetAccPwdIp(SipAccPwdIpCallback callback);        // 84
  virtual int32_t SetOnSipRegisterNotify(SipRegisterNotifyCallback callback);  // 85
  // 86-96: named-conference media.
  virtual int32_t CreateConfRoom(int32_t& is_sip, int32_t& session);
  virtual int32_t JoinConfRoom(int32_t session, int32_t is_sip, int32_t listen);
  virtual int32_t ExitConfRoom(int32_t session, int32_t is_sip);
  virtual int32_t CloseConfRoom(int32_t session, int32_t is_sip);
  virtual int32_t StartConfRecord(int32_t session, int32_t is_sip, std::string_view file,
                                  int32_t& id);
  virtual int32_t StopConfRecord(int32_t session, int32_t is_sip, int32_t id);
  virtual int32_t StartConfChRecord(int32_t member, std::string_view file, int32_t& id);
  virtual int32_t StopConfChRecord(int32_t id);
  virtual int32_t StartConfPlay(int32_t session, int32_t is_sip, std::string_view file,
                                int32_t& id);
  virtual int32_t IsConfPlayEnd(int32_t session, int32_t is_sip, int32_t id);
  virtual int32_t StopConfPlay(int32_t session, int32_t is_sip, int32_t id);
  // 97-106: SIP proxy.
  virtual int32_t SipProxyRecv(std::string& text1, std::string& text2, int32_t& handle,
                               std::string& text3);
  // 98: the parameter is absent (nullopt) for an empty script value.
  virtual int32_t SipProxyGetField(int32_t handle, std::string_view name,
                                   std::optional<std::string_view> parameter,
                                   std::string& text);
  virtual int32_t SipProxyAddField(int32_t handle, std::string_view name,
                                   std::string_view value, int32_t flag);
  virtual int32_t SipProxyRemoveField(int32_t handle, std::string_view name);
  virtual int32_t SipProxySend(int32_t handle, std::string_view destination);
  virtual int32_t SipProxySendEx(int32_t handle, std::string_view destination, int32_t flag);
  virtual int32_t SipProxyDirAns(int32_t handle, int32_t code, std::string_view text);
  virtual int32_t SipProxySendKeepAlives(std::string_view first, std::string_view second);
  virtual int32_t SipUnregisterSpecUser(std::string_view user);
  virtual int32_t SipSetRtpAddr(std::string_view address, int32_t port, std::string_view third);
  virtual int32_t SetSigPara(int32_t type, int32_t value);                 // 107
  virtual int32_t SetSigParaText(int32_t type, std::string_view text);     // 108
  virtual int32_t SipGetAccStat(std::string_view account);                 // 109
  virtual bool IsMediaOk();                                                // 110
  virtual int32_t GetChState();                                            // 111
  ~TagVtCall() override;                                                   // 112

  // "lcnt=%d, %s" through the sound-card level of the log (written only
  // when the log level is not 0); ErrorLog writes the same form always.
  void TraceLog(std::string_view text) override;

  // IsOnline's watchdog has nothing to do until the call's state changes:
  // the state it saw last still holds, and no talk time is limited while
  // the call is connected. Line's thread.
  bool WatchdogIdle() const;

  // --- The keys of the line's Keys cell in the monitor (cell_keys.cc). ---
  // "PcGetKeys(" on any line and "GetKeys(" on a virtual line: waits for the
  // keys typed into this line's Keys cell until a terminator or the maximum
  // ends the input (LookAtKeysCell, cell_keys.h), which is then taken off
  // the front of the cell into keys (the count taken is the result). The
  // inter-key time-out (keyTime) or the total one gives kKeysTimeout; the
  // stop flag, script_stopped or a released call gives kKeysStopped; keys
  // is empty after either. On the line's thread only.
  int32_t GetCellKeys(std::string& keys, int32_t max_keys, int32_t total_seconds, char end_key,
                      const std::atomic<uint8_t>& script_stopped);

  // --- The tone store of "SetTones(" / "ClearTones(". ---
  // Stores (or replaces) the record under its key: 0, or -1 for a key
  // outside 250..256 (nothing stored).
  int32_t SetSignalTone(const TagSignalTone& tone);
  void ClearSignalTones();

  // --- The raw-signalling store of "GetSigRawData(" / "SetSigRawData(". ---
  // Takes the received bytes: their count (traced "GetSigRawData=%d") and
  // both lengths zeroed; 0 or less when none (out untouched).
  int32_t TakeSigRawData(std::string& out);
  // Stores bytes for the line's signalling to send: their count, or -2 above
  // 300 bytes (nothing changed).
  int32_t StoreSigRawData(std::string_view bytes);
  // The line's signalling code delivers received bytes (cut at 300).
  void PutReceivedSigRawData(std::string_view bytes);

  // --- Named meeting rooms, through the installed TagNameConfCtrl and the
  // room operations (slots 86-96); the line's thread. Room names are the
  // registry's keys. ---
  // Joins (creating the room on first use): the member count; -2 the room
  // could not be created (or no registry is installed), -3 the join failed
  // (a room created here is closed again).
  int32_t JoinNameConf(std::string_view room, int32_t listen);
  // Leaves the line's room (the last member closes it and stops its
  // recording and play): the session left, 0 when in no room.
  int32_t ExitNameConf();
  // The room's recording: its id; -1 no room, -2 already recording, -3 failed.
  int32_t RecNameConf(std::string_view room, std::string_view file);
  // A play into the room, waited for (100 ms polls while stopFlag is clear
  // and the line online) when wait is set: its id; -1 no room, -2 a play
  // still runs, -3 failed. A finished play that nobody waited for is
  // stopped and forgotten before a new one starts.
  int32_t PlayNameConf(std::string_view room, std::string_view file, int32_t wait);
  // A member's own recording: -1 not a member; the milliseconds since it
  // started while one runs; else 0 (an empty file starts nothing), -3 failed.
  int32_t RecNameConfCh(std::string_view room, int32_t line, std::string_view file);
  // The room's members (line -> listen flag) into members: their count.
  int32_t GetNameConfMembers(std::string_view room, std::map<int32_t, int32_t>& members);
  // The room holding line: 1 found (room, listen, session set), 0 not.
  int32_t FindNameConfOfChannel(int32_t line, std::string& room, int32_t& listen,
                                int32_t& session);

  // --- Fields (engine::LineCallBase adds lineNo, lineKind, stopFlag and
  // callState). ---
  std::string lineName;                  // "E1:%02d", "A_IN:%d", ...; set by the card
  std::atomic<int32_t> blocked{0};       // 1 while the far end blocks the E1 circuit
  int32_t prevState = engine::kCallNone;  // state seen by the previous IsOnline
  int32_t maxTalkTime = 0;               // seconds; 0 unlimited ("SetMaxTalkTime(")
  std::atomic<int32_t> connectTime{0};   // calendar seconds of the connection
  uint8_t noRingbackAns = 0;             // slots 40/41
  int32_t volume = 100;                  // SetVolume, types other than 1 and 2
  int32_t playVolume = 100;              // sound-card play volume (type 1)
  int32_t confVolume = 100;              // volume in a conference group (type 2)
  uint8_t lineClosed = 0;                // 1 after CloseLine, 0 after OpenLine
  uint8_t breakOnKey = 1;                // SetBreak
  std::string keyBuf;                    // received DTMF keys, upper case, <= kKeyBufMax
  int32_t keyTime = 0;                   // inter-key time-out of GetKeys, seconds
  int32_t dialFailedTo = 0;              // "SetDialFailedTo("
  std::unique_ptr<PcPlayer> wavePlay;    // the current sound-card player
  TagVtCard* drive = nullptr;            // the card of a board line; not owned
  uint8_t loopPlaying = 0;               // a resumable loop play runs on the sound card
  std::string loopFile;                  // file of the last StartLoopPlay
  uint32_t loopStartTick = 0;            // tick at which the loop play (re)started
  int32_t loopPos = 0;                   // resume position of the loop play, bytes
  std::string callerId;                  // SetCallerId
  std::string subAddr1, subAddr2;        // SetSubAddr
  std::string firstCalleeId;             // SetFirstCalleeId
  int32_t firstCalleeVal = 0;
  std::map<int32_t, TagSignalTone> signalTones;  // keyed 250..256
  int32_t dialOnMode = 0;                // "SetDialOn("
  int32_t dialOnValue = 0;
  std::array<uint8_t, kSigRawMax> sigRawData{};  // raw signalling bytes
  int32_t sigRawRecvLen = 0;             // received bytes waiting in sigRawData
  int32_t sigRawSendLen = 0;             // bytes stored by SetSigRawData
  int32_t mediaChannel = 0;              // the virtual line's media channel
  TagVtCall* linkedCall = nullptr;       // the call whose media this line joins; not owned
  int32_t callType = 0;                  // "SetCallType("
  int32_t hangupCause = 0;               // "SetHangupCause("
  int32_t recordPos = 0;                 // "SetRecPos("
  int32_t nameConfClosed = 0;            // 1 when this line closed its meeting room
  int32_t sigPara1 = -1, sigPara2 = -1;  // SetSigPara types 1 and 2

 protected:
  // Opens file at offset on the sound-card player (reopening the current
  // one); false, with the player deleted, when that failed.
  bool OpenPcPlayer(std::string_view file, int32_t offset);
  // The play of PlayMemVoc: the scratch file played as Play plays a file
  // named in "Play(" (the base: its script path through Play).
  virtual int32_t PlayScratchVoice(const ScratchVoice& voice, int32_t break_on_key);

 private:
  bool watchdogHangup_ = false;  // the watchdog's Hangup is running
};

// The result of a statement whose script has no call object.
inline constexpr int32_t kNoCallObject = -1;

// A script's call object as the telephony layer's; null when it has none
// (or one that is not a TagVtCall).
TagVtCall* LineCallOf(const engine::TagTelBasic& script);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_VT_CALL_H_

// TagVtCall: the operations whose base bodies store a value or return a
// fixed result. The line kinds override those they carry out; on every line
// kind of this system the instant-message, SIP, SIP-proxy and meeting-room
// media operations keep these bodies.
#include "telephony/vt_call.h"

namespace telephony {

// Call control.
void TagVtCall::SetCallerId(std::string_view number) { callerId.assign(number); }
void TagVtCall::SetSubAddr(std::string_view text1, std::string_view text2) {
  subAddr1.assign(text1);
  subAddr2.assign(text2);
}
void TagVtCall::SetFirstCalleeId(std::string_view text, int32_t value) {
  firstCalleeId.assign(text);
  firstCalleeVal = value;
}
void TagVtCall::OpenLine() { lineClosed = 0; }
void TagVtCall::CloseLine() { lineClosed = 1; }
void TagVtCall::ClearKeys() {}
int32_t TagVtCall::OutCall(std::string_view) {
  callState.store(engine::kCallConnected, std::memory_order_relaxed);
  return 0;
}
int32_t TagVtCall::WaitRing(int32_t) {
  callState.store(engine::kCallConnected, std::memory_order_relaxed);
  return 0;
}
int32_t TagVtCall::IsRings(int32_t) {
  callState.store(engine::kCallOffered, std::memory_order_relaxed);
  return 1;
}
int32_t TagVtCall::SetCharge(int32_t) { return 1; }
int32_t TagVtCall::Answer(int32_t flag) { return flag; }
int32_t TagVtCall::IsRinging(std::string& calling, std::string& called) {
  const int32_t r = IsRings(2);
  if (r != 0) {
    GetCallerId(calling);
    GetCalleeId(called);
  }
  return r;
}
int32_t TagVtCall::SipGetPeerMsg(std::string& text1, std::string& text2) {
  text1.clear();
  text2.clear();
  return 0;
}
int32_t TagVtCall::Spare14() { return 0; }

// Voice and keys (the sound-card bodies are in vt_call.cc).
int32_t TagVtCall::Record(std::string_view, int32_t, int32_t) { return 0; }
int32_t TagVtCall::StartRecord(std::string_view, int32_t) { return 0; }
int32_t TagVtCall::GetKeys(std::string&, int32_t, int32_t, std::string_view) { return 0; }
int32_t TagVtCall::SetKeyTime(int32_t seconds) {
  keyTime = seconds;
  return seconds;
}
int32_t TagVtCall::SetKeys(std::string_view) { return 0; }
void TagVtCall::Hangup() { callState.store(engine::kCallReleased, std::memory_order_relaxed); }
int32_t TagVtCall::Spare28() { return 0; }
int32_t TagVtCall::Spare29() { return 0; }
int32_t TagVtCall::GetCallerId(std::string& number) {
  number.clear();
  return 0;
}
int32_t TagVtCall::GetCalleeId(std::string& number) {
  number.clear();
  return 0;
}
int32_t TagVtCall::GetFirstCalleeId(std::string& text) {
  text.clear();
  return 0;
}

// Fax and speech.
void TagVtCall::SetFaxLocalId(std::string_view) {}
int32_t TagVtCall::GetFaxResource(int32_t& total, int32_t& busy) {
  total = 0;
  busy = 0;
  return busy;
}
int32_t TagVtCall::SendFax(std::string_view) { return 0; }
int32_t TagVtCall::RecvFax(std::string_view) { return 0; }
void TagVtCall::Spare37() {}
int32_t TagVtCall::TxtSpeakToFile(std::string_view, std::string_view, int32_t, int32_t) {
  return 0;
}

// Line settings.
int32_t TagVtCall::SetNobkringAns(int32_t flag) {
  noRingbackAns = static_cast<uint8_t>(flag);
  return flag;
}
int32_t TagVtCall::GetNobkringAns() { return noRingbackAns; }
void TagVtCall::SetVolume(int32_t value, int32_t type) {
  if (type == 1) {
    playVolume = value;
  } else if (type == 2) {
    confVolume = value;
  } else {
    volume = value;
  }
}
void TagVtCall::SetBusyPara(int32_t, int32_t, int32_t) {}
void TagVtCall::SetRingbackPara(int32_t, int32_t, int32_t) {}
void TagVtCall::SetSignalFreqPara(int32_t, int32_t, int32_t) {}
void TagVtCall::EnableLineSpeaker(int32_t) {}

// Links.
int32_t TagVtCall::LinkTo(int32_t, int32_t) { return 0; }
int32_t TagVtCall::UnlinkTo(int32_t, int32_t) { return 0; }
int32_t TagVtCall::UnlinkAll() { return 0; }
int32_t TagVtCall::ListenTo(int32_t, int32_t) { return 0; }
int32_t TagVtCall::GetLinkList(std::vector<int32_t>&, std::vector<int32_t>&,
                               std::vector<int32_t>&) {
  return 0;
}
int32_t TagVtCall::SetBreak(int32_t flag) {
  breakOnKey = static_cast<uint8_t>(flag);
  return flag;
}
int32_t TagVtCall::Dial(std::string_view) { return 0; }

// Instant messages.
int32_t TagVtCall::ImSend(std::string_view, std::string_view, std::string_view, int32_t) {
  return 0;
}
int32_t TagVtCall::ImTest() { return 0; }
int32_t TagVtCall::ImRead(std::string&, std::string&, std::string&, std::string&) { return 0; }
int32_t TagVtCall::ImRecv(std::string&, int32_t&) { return 0; }
int32_t TagVtCall::ImMsgGetField(int32_t, std::string_view, std::string_view, std::string&) {
  return 0;
}
int32_t TagVtCall::ImMakeAns(int32_t, int32_t, std::string_view, std::string_view,
                             std::string_view, std::string_view) {
  return 0;
}
int32_t TagVtCall::ImMsgFree(int32_t) { return 0; }
int32_t TagVtCall::ImMakeReq(const std::array<std::string_view, 8>&, std::string&) { return 0; }
int32_t TagVtCall::ImFileSend(std::string_view, std::string&, int32_t&, std::string&, int32_t&,
                              std::string&) {
  return 0;
}
int32_t TagVtCall::ImFileRecv(int32_t, std::string_view, int32_t, int32_t&, std::string&,
                              std::string&, std::string&, std::string&, int32_t&) {
  return 0;
}
int32_t TagVtCall::ImFileCheck(int32_t, int32_t&, int32_t&) { return 0; }
int32_t TagVtCall::ImFileEnd(int32_t) { return 0; }
int32_t TagVtCall::ImFileProcAnswer(std::string_view) { return 0; }

// Call progress and the phone port.
int32_t TagVtCall::CheckDial() {
  callState.store(engine::kCallConnected, std::memory_order_relaxed);
  return 1;
}
int32_t TagVtCall::MakeRing(std::string_view) { return 0; }
int32_t TagVtCall::GetHookState() {
  return lineKind != engine::kLineVirtual &&
                 callState.load(std::memory_order_relaxed) != engine::kCallConnected
             ? 0
             : 1;
}
int32_t TagVtCall::TransferTo(std::string_view) { return 0; }

// Media of the virtual line, FSK and SIP.
int32_t TagVtCall::ConnectMedia(TagVtCall*) { return 0; }
int32_t TagVtCall::DisconnectMedia() {
  linkedCall = nullptr;
  return 0;
}
int32_t TagVtCall::StartRtp() { return 0; }
int32_t TagVtCall::EndRtp() { return 0; }
int32_t TagVtCall::GetCallType() { return 0; }
int32_t TagVtCall::SendFskMsg(int32_t, std::string_view, int32_t) { return 0; }
int32_t TagVtCall::RecvFskMsg(int32_t& type, std::string& text, int32_t) {
  type = 0;
  text.clear();
  return 0;
}
int32_t TagVtCall::SipGetDestAddr(std::string_view, std::string&) { return -1; }
int32_t TagVtCall::SipGetAccAddr(std::string_view, std::string_view, std::string&, int32_t&) {
  return -1;
}
int32_t TagVtCall::SipSetDialRoute(std::string_view, std::string_view) { return 0; }
int32_t TagVtCall::SipGetRtpCount(int32_t&, int32_t&) { return 0; }
int32_t TagVtCall::SetOnSipGetAccPwd(SipAccPwdCallback) { return 0; }
int32_t TagVtCall::SetOnSipGetAccPwdIp(SipAccPwdIpCallback) { return 0; }
int32_t TagVtCall::SetOnSipRegisterNotify(SipRegisterNotifyCallback) { return 0; }

// Meeting-room media.
int32_t TagVtCall::CreateConfRoom(int32_t&, int32_t&) { return -1; }
int32_t TagVtCall::JoinConfRoom(int32_t, int32_t, int32_t) { return -1; }
int32_t TagVtCall::ExitConfRoom(int32_t, int32_t) { return -1; }
int32_t TagVtCall::CloseConfRoom(int32_t, int32_t) { return -1; }
int32_t TagVtCall::StartConfRecord(int32_t, int32_t, std::string_view, int32_t& id) {
  id = 0;
  return -1;
}
int32_t TagVtCall::StopConfRecord(int32_t, int32_t, int32_t) { return -1; }
int32_t TagVtCall::StartConfChRecord(int32_t, std::string_view, int32_t&) { return -1; }
int32_t TagVtCall::StopConfChRecord(int32_t) { return -1; }
int32_t TagVtCall::StartConfPlay(int32_t, int32_t, std::string_view, int32_t& id) {
  id = 0;
  return -1;
}
int32_t TagVtCall::IsConfPlayEnd(int32_t, int32_t, int32_t) { return -1; }
int32_t TagVtCall::StopConfPlay(int32_t, int32_t, int32_t) { return -1; }

// SIP proxy.
int32_t TagVtCall::SipProxyRecv(std::string&, std::string&, int32_t&, std::string&) { return 0; }
int32_t TagVtCall::SipProxyGetField(int32_t, std::string_view, std::optional<std::string_view>,
                                    std::string&) {
  return 0;
}
int32_t TagVtCall::SipProxyAddField(int32_t, std::string_view, std::string_view, int32_t) {
  return 0;
}
int32_t TagVtCall::SipProxyRemoveField(int32_t, std::string_view) { return 0; }
int32_t TagVtCall::SipProxySend(int32_t, std::string_view) { return 0; }
int32_t TagVtCall::SipProxySendEx(int32_t, std::string_view, int32_t) { return 0; }
int32_t TagVtCall::SipProxyDirAns(int32_t, int32_t, std::string_view) { return 0; }
int32_t TagVtCall::SipProxySendKeepAlives(std::string_view, std::string_view) { return 0; }
int32_t TagVtCall::SipUnregisterSpecUser(std::string_view) { return 0; }
int32_t TagVtCall::SipSetRtpAddr(std::string_view, int32_t, std::string_view) { return 0; }

// Signalling parameters and channel state.
int32_t TagVtCall::SetSigPara(int32_t type, int32_t value) {
  if (type == 1) {
    sigPara1 = value;
  } else if (type == 2) {
    sigPara2 = value;
  } else {
    return -1;
  }
  return 0;
}
int32_t TagVtCall::SetSigParaText(int32_t, std::string_view) { return 0; }
int32_t TagVtCall::SipGetAccStat(std::string_view) { return 0; }
bool TagVtCall::IsMediaOk() { return true; }
int32_t TagVtCall::GetChState() { return 0; }

}  // namespace telephony

// A RecordingCall that also records the line-setting, signalling, SIP,
// SIP-proxy and instant-message operations: "Name(arg,...)" with every
// argument as passed (an out-value shows its preset, an absent text
// "(absent)", a list its items joined by "|"), after which it fills each
// out-value in call order: texts with "w1", "w2", ..., integers with 71,
// 72, ... . Every recorded operation gives `result`.
#ifndef VTTEL_TESTS_TELEPHONY_STATEMENTS_SIGNAL_RECORDING_CALL_H_
#define VTTEL_TESTS_TELEPHONY_STATEMENTS_SIGNAL_RECORDING_CALL_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/telephony/script_on_line.h"

namespace telephony {

class SignalRecordingCall : public RecordingCall {
 public:
  using Texts = std::array<std::string_view, 8>;

  // Line settings and signalling.
  void SetVolume(int32_t v, int32_t t) override { Rec("SetVolume", {S(v), S(t)}); }
  void SetBusyPara(int32_t a, int32_t b, int32_t c) override {
    Rec("SetBusyPara", {S(a), S(b), S(c)});
  }
  void SetRingbackPara(int32_t a, int32_t b, int32_t c) override {
    Rec("SetRingbackPara", {S(a), S(b), S(c)});
  }
  void SetSignalFreqPara(int32_t a, int32_t b, int32_t c) override {
    Rec("SetSignalFreqPara", {S(a), S(b), S(c)});
  }
  void EnableLineSpeaker(int32_t on) override { Rec("EnableLineSpeaker", {S(on)}); }
  int32_t SetSigPara(int32_t t, int32_t v) override { return Rec("SetSigPara", {S(t), S(v)}); }
  int32_t SetSigParaText(int32_t t, std::string_view v) override {
    return Rec("SetSigParaText", {S(t), S(v)});
  }
  int32_t SendFskMsg(int32_t t, std::string_view m, int32_t p) override {
    return Rec("SendFskMsg", {S(t), S(m), S(p)});
  }
  int32_t RecvFskMsg(int32_t& t, std::string& m, int32_t w) override {
    return Rec("RecvFskMsg", {S(t), S(m), S(w)}, t, m);
  }
  // SIP.
  int32_t SipGetDestAddr(std::string_view n, std::string& a) override {
    return Rec("SipGetDestAddr", {S(n), S(a)}, a);
  }
  int32_t SipGetAccAddr(std::string_view u, std::string_view d, std::string& a,
                        int32_t& p) override {
    return Rec("SipGetAccAddr", {S(u), S(d), S(a), S(p)}, a, p);
  }
  int32_t SipGetPeerMsg(std::string& a, std::string& b) override {
    return Rec("SipGetPeerMsg", {S(a), S(b)}, a, b);
  }
  int32_t SipSetDialRoute(std::string_view a, std::string_view b) override {
    return Rec("SipSetDialRoute", {S(a), S(b)});
  }
  int32_t SipSetRtpAddr(std::string_view a, int32_t p, std::string_view t) override {
    return Rec("SipSetRtpAddr", {S(a), S(p), S(t)});
  }
  int32_t SipGetRtpCount(int32_t& a, int32_t& b) override {
    return Rec("SipGetRtpCount", {S(a), S(b)}, a, b);
  }
  int32_t SipGetAccStat(std::string_view a) override { return Rec("SipGetAccStat", {S(a)}); }
  int32_t SetOnSipGetAccPwd(SipAccPwdCallback f) override {
    return Rec("SetOnSipGetAccPwd", {f != nullptr ? "f" : "null"});
  }
  int32_t SetOnSipGetAccPwdIp(SipAccPwdIpCallback f) override {
    return Rec("SetOnSipGetAccPwdIp", {f != nullptr ? "f" : "null"});
  }
  int32_t SetOnSipRegisterNotify(SipRegisterNotifyCallback f) override {
    return Rec("SetOnSipRegisterNotify", {f != nullptr ? "f" : "null"});
  }
  // SIP proxy.
  int32_t SipProxyRecv(std::string& a, std::string& b, int32_t& h, std::string& c) override {
    return Rec("SipProxyRecv", {S(a), S(b), S(h), S(c)}, a, b, h, c);
  }
  int32_t SipProxyGetField(int32_t h, std::string_view n, std::optional<std::string_view> p,
                           std::string& t) override {
    return Rec("SipProxyGetField", {S(h), S(n), p ? S(*p) : "(absent)", S(t)}, t);
  }
  int32_t SipProxyAddField(int32_t h, std::string_view n, std::string_view v, int32_t f) override {
    return Rec("SipProxyAddField", {S(h), S(n), S(v), S(f)});
  }
  int32_t SipProxyRemoveField(int32_t h, std::string_view n) override {
    return Rec("SipProxyRemoveField", {S(h), S(n)});
  }
  int32_t SipProxySend(int32_t h, std::string_view d) override {
    return Rec("SipProxySend", {S(h), S(d)});
  }
  int32_t SipProxySendEx(int32_t h, std::string_view d, int32_t f) override {
    return Rec("SipProxySendEx", {S(h), S(d), S(f)});
  }
  int32_t SipProxyDirAns(int32_t h, int32_t c, std::string_view t) override {
    return Rec("SipProxyDirAns", {S(h), S(c), S(t)});
  }
  int32_t SipProxySendKeepAlives(std::string_view a, std::string_view b) override {
    return Rec("SipProxySendKeepAlives", {S(a), S(b)});
  }
  int32_t SipUnregisterSpecUser(std::string_view u) override {
    return Rec("SipUnregisterSpecUser", {S(u)});
  }
  // Instant messages.
  int32_t ImSend(std::string_view a, std::string_view b, std::string_view m, int32_t n) override {
    return Rec("ImSend", {S(a), S(b), S(m), S(n)});
  }
  int32_t ImTest() override { return Rec("ImTest", {}); }
  int32_t ImRead(std::string& a, std::string& b, std::string& c, std::string& d) override {
    return Rec("ImRead", {S(a), S(b), S(c), S(d)}, a, b, c, d);
  }
  int32_t ImRecv(std::string& t, int32_t& h) override {
    return Rec("ImRecv", {S(t), S(h)}, t, h);
  }
  int32_t ImMsgGetField(int32_t h, std::string_view n, std::string_view s,
                        std::string& t) override {
    return Rec("ImMsgGetField", {S(h), S(n), S(s), S(t)}, t);
  }
  int32_t ImMakeAns(int32_t h, int32_t c, std::string_view a, std::string_view b,
                    std::string_view d, std::string_view e) override {
    return Rec("ImMakeAns", {S(h), S(c), S(a), S(b), S(d), S(e)});
  }
  int32_t ImMsgFree(int32_t h) override { return Rec("ImMsgFree", {S(h)}); }
  int32_t ImMakeReq(const Texts& texts, std::string& id) override {
    std::string joined;
    for (std::string_view t : texts) joined += (joined.empty() ? "" : "|") + std::string(t);
    return Rec("ImMakeReq", {joined, S(id)}, id);
  }
  int32_t ImFileSend(std::string_view f, std::string& id, int32_t& h, std::string& a,
                     int32_t& v, std::string& b) override {
    return Rec("ImFileSend", {S(f), S(id), S(h), S(a), S(v), S(b)}, id, h, a, v, b);
  }
  int32_t ImFileRecv(int32_t first, std::string_view n, int32_t third, int32_t& h,
                     std::string& a, std::string& b, std::string& c, std::string& d,
                     int32_t& v) override {
    return Rec("ImFileRecv",
               {S(first), S(n), S(third), S(h), S(a), S(b), S(c), S(d), S(v)}, h, a, b, c, d,
               v);
  }
  int32_t ImFileCheck(int32_t h, int32_t& a, int32_t& b) override {
    return Rec("ImFileCheck", {S(h), S(a), S(b)}, a, b);
  }
  int32_t ImFileEnd(int32_t h) override { return Rec("ImFileEnd", {S(h)}); }
  int32_t ImFileProcAnswer(std::string_view t) override {
    return Rec("ImFileProcAnswer", {S(t)});
  }

 private:
  static std::string S(std::string_view v) { return std::string(v); }
  static std::string S(int32_t v) { return std::to_string(v); }

  void Fill(int& texts, int&, std::string& out) { out = "w" + std::to_string(++texts); }
  void Fill(int&, int& ints, int32_t& out) { out = 70 + ++ints; }

  template <typename... Outs>
  int32_t Rec(const char* name, const std::vector<std::string>& args, Outs&... outs) {
    std::string op = std::string(name) + "(";
    for (size_t i = 0; i < args.size(); ++i) op += (i ? "," : "") + args[i];
    ops.push_back(op + ")");
    [[maybe_unused]] int texts = 0, ints = 0;
    (Fill(texts, ints, outs), ...);
    return result;
  }
};

}  // namespace telephony

#endif  // VTTEL_TESTS_TELEPHONY_STATEMENTS_SIGNAL_RECORDING_CALL_H_

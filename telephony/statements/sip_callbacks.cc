#include "telephony/statements/sip_callbacks.h"

#include <array>
#include <mutex>

#include "engine/tel_basic.h"

namespace telephony {
namespace {

struct Registration {
  bool set = false;
  int32_t kind = engine::kVarNull;             // the registered value's kind
  engine::ScriptFunction* function = nullptr;  // its function, when it is one
  engine::TagTelBasic* script = nullptr;       // the registering script
};

std::recursive_mutex& RegistrationLock() {
  static std::recursive_mutex lock;
  return lock;
}

// GUARDED_BY(RegistrationLock())
std::array<Registration, kSipCallbackKinds>& Registrations() {
  static std::array<Registration, kSipCallbackKinds> registrations;
  return registrations;
}

// What a callback hands the function and takes back from it.
struct Exchange {
  std::array<std::string_view, 2> textsIn{};  // parameters 0.. as strings
  std::array<int32_t, 2> intsIn{};           // the following parameters as integers
  int textsInCount = 0;
  int intsInCount = 0;
  std::array<std::string*, 3> textsOut{};    // the parameters after those, as texts
  int textsOutCount = 0;
};

// Runs the registration of kind with the exchange: 0 with the function's
// "_retVal" as an integer in *result, or the check that failed.
int32_t RunCallback(SipCallbackKind kind, const Exchange& x, int32_t* result) {
  std::lock_guard<std::recursive_mutex> hold(RegistrationLock());
  const Registration& r = Registrations()[static_cast<size_t>(kind)];
  if (!r.set) return kSipCallbackNone;
  auto* f = r.kind == engine::kVarFunction ? dynamic_cast<engine::TagTelBasic*>(r.function)
                                            : nullptr;
  if (f == nullptr) return kSipCallbackNotFunction;
  const int n = x.textsInCount + x.intsInCount + x.textsOutCount;
  if (f->paramCount < n) return kSipCallbackFewParams;
  int p = 0;
  for (int i = 0; i < x.textsInCount; ++i) f->params[p++].AssignString(x.textsIn[i]);
  for (int i = 0; i < x.intsInCount; ++i) f->params[p++].AssignInt(x.intsIn[i]);
  const int first_out = p;
  // The out parameters start empty: nothing of an earlier call comes back.
  for (int i = 0; i < x.textsOutCount; ++i) f->params[p++].AssignString("");
  f->RunSub(r.script);
  for (int i = 0; i < x.textsOutCount; ++i) f->params[first_out + i].ToText(*x.textsOut[i]);
  for (int i = 0; i < n; ++i) {
    if (f->params[i].kind == engine::kVarMap) f->params[i].AssignInt(0);
  }
  engine::TagVar& ret_val = *f->allVariables.at(engine::kRetValIndex);
  *result = ret_val.GetInt();
  if (ret_val.kind == engine::kVarMap) ret_val.AssignInt(0);
  return 0;
}

}  // namespace

void RegisterSipCallback(SipCallbackKind kind, const engine::TagVar& function,
                         engine::TagTelBasic* script) {
  std::lock_guard<std::recursive_mutex> hold(RegistrationLock());
  Registrations()[static_cast<size_t>(kind)] = {true, function.kind, function.function, script};
}

void ForgetSipCallbacks(const engine::TagTelBasic* script) {
  std::lock_guard<std::recursive_mutex> hold(RegistrationLock());
  for (Registration& r : Registrations()) {
    if (r.set && r.script == script) r = Registration{};
  }
}

namespace {

// A password callback's result: the failed check, else the function's.
int32_t PasswordResult(SipCallbackKind kind, const Exchange& x) {
  int32_t result = 0;
  const int32_t check = RunCallback(kind, x, &result);
  return check != 0 ? check : result;
}

}  // namespace

int32_t OnSipGetAccPwd(std::string_view user, std::string& text1, std::string& text2) {
  Exchange x;
  x.textsIn[0] = user;
  x.textsInCount = 1;
  x.textsOut = {&text1, &text2, nullptr};
  x.textsOutCount = 2;
  return PasswordResult(SipCallbackKind::kAccPwd, x);
}

int32_t OnSipGetAccPwdIp(std::string_view user, std::string& text1, std::string& text2,
                         std::string& text3) {
  Exchange x;
  x.textsIn[0] = user;
  x.textsInCount = 1;
  x.textsOut = {&text1, &text2, &text3};
  x.textsOutCount = 3;
  return PasswordResult(SipCallbackKind::kAccPwdIp, x);
}

int32_t OnSipRegisterNotify(std::string_view text1, std::string_view text2, int32_t value1,
                            int32_t value2) {
  Exchange x;
  x.textsIn = {text1, text2};
  x.textsInCount = 2;
  x.intsIn = {value1, value2};
  x.intsInCount = 2;
  int32_t ignored = 0;
  return RunCallback(SipCallbackKind::kRegisterNotify, x, &ignored);
}

}  // namespace telephony

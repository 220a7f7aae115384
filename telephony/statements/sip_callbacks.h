// The script functions that a SIP line calls back: three process-wide
// registrations, one per kind (an account's password, the same by address,
// a registration notice), each holding the function value and the script
// that registered it. A later registration replaces the earlier one,
// whatever line made it.
//
// The On... functions are what a SIP line is handed (TagVtCall slots
// 83-85). Each runs the registered function to its end as a script
// function with the registering script as its caller, on the thread that
// calls it, and with that script's data. No line kind of this system calls
// them.
//
// Thread rules: one recursive lock guards the registrations and is held
// while a callback runs, so a registration or a forgetting script waits
// for a running callback, and a callback's function may itself register.
// A registering statement forgets its script's registrations when it is
// deleted (ForgetSipCallbacks), so a later callback finds none (-100)
// instead of running a deleted function.
#ifndef VTTEL_TELEPHONY_STATEMENTS_SIP_CALLBACKS_H_
#define VTTEL_TELEPHONY_STATEMENTS_SIP_CALLBACKS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tag_var.h"

namespace engine {
class TagTelBasic;
}

namespace telephony {

enum class SipCallbackKind { kAccPwd, kAccPwdIp, kRegisterNotify };
inline constexpr int kSipCallbackKinds = 3;

// The results of a callback that runs no function.
inline constexpr int32_t kSipCallbackNone = -100;         // nothing registered
inline constexpr int32_t kSipCallbackNotFunction = -101;  // not a function with a body
inline constexpr int32_t kSipCallbackFewParams = -102;    // fewer parameters than handed

// Registers a copy of function (any value: it is checked when called) with
// the script that registered it.
void RegisterSipCallback(SipCallbackKind kind, const engine::TagVar& function,
                         engine::TagTelBasic* script);
// Clears every registration that names script; waits for a running callback.
void ForgetSipCallbacks(const engine::TagTelBasic* script);

// Parameter 0 gets the user, the function runs, and the texts of parameters
// 1..2 (1..3) come back in the out texts; the result is its "_retVal" as an
// integer, or one of the results above (out texts untouched).
int32_t OnSipGetAccPwd(std::string_view user, std::string& text1, std::string& text2);
int32_t OnSipGetAccPwdIp(std::string_view user, std::string& text1, std::string& text2,
                         std::string& text3);
// Parameters 0 and 1 get the texts, 2 and 3 the integers; 0 when the
// function ran.
int32_t OnSipRegisterNotify(std::string_view text1, std::string_view text2, int32_t value1,
                            int32_t value2);

}  // namespace telephony

#endif  // VTTEL_TELEPHONY_STATEMENTS_SIP_CALLBACKS_H_

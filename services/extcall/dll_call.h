// TagDllCall: the call of an external-library function by its declared
// name, with the argument variables in order.
//
// Execute finds the function bound for the name in the line's libraries; with
// none, or bound with a count other than the call's, it returns
// kDllCallNotBound (-1) without calling. Otherwise each argument becomes a
// record (kind, text buffer, integer field, float field; vttel_extcall.h) and
// the function runs under a fault guard: a fault or an exception ends it with
// kDllCallFault (-100) and a "DllRun Err" log line, and nothing is taken back.
// After a normal return every writable argument takes its record's kind, value
// and number back: a string is never taken longer than the library may have
// written (the string it was sent; for a value of another kind the text its
// buffer held, up to its terminator) nor past its own text buffer (a longer
// claim is cut and logged); maps and functions only as they were sent (same
// kind and value), and a kind outside 0-5 never: such a claim leaves the
// variable as it was and is logged. Read-only arguments are never changed, not
// even their text: the library writes into a copy of a constant's text. A
// variable without a text buffer of its own gets an empty one for the call.
//
// Ownership: the name and the records are the statement's; the arguments
// and the script belong to the script. Thread rules: the line's thread.
#ifndef VTTEL_SERVICES_EXTCALL_DLL_CALL_H_
#define VTTEL_SERVICES_EXTCALL_DLL_CALL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statement.h"
#include "include/vttel_extcall.h"

namespace engine {
class TagTelBasic;
}

namespace services {

class TagVtDll;

// A call that found no bound function, or one bound with another count.
inline constexpr int32_t kDllCallNotBound = -1;
// A call ended by a fault or an exception inside the library.
inline constexpr int32_t kDllCallFault = -100;

class TagDllCall : public engine::TagOper {
 public:
  TagDllCall(std::string_view name, engine::TagTelBasic* script,
             const std::vector<engine::TagVar*>& args);
  int32_t Execute() override;

 private:
  // The bound function for this call, remembered while the line's slots
  // and the process's bindings are unchanged; null with none.
  VtExtFunction Resolve(int32_t* bound_count);
  void FillRecords();
  void TakeBack();

  const std::string name_;
  engine::TagTelBasic* const script_;
  const std::vector<engine::TagVar*> args_;
  std::vector<VtExtArg> records_;
  // Copies of read-only texts and empty buffers, for one call.
  std::string scratch_;
  // The remembered look-up.
  const TagVtDll* seenStore_ = nullptr;
  uint32_t seenSlots_ = 0;
  uint32_t seenBindings_ = 0;
  VtExtFunction entry_ = nullptr;
  int32_t boundCount_ = 0;
};

}  // namespace services

#endif  // VTTEL_SERVICES_EXTCALL_DLL_CALL_H_

#include "services/extcall/dll_call.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "engine/tag_var.h"
#include "engine/tel_basic.h"
#include "frame/log.h"
#include "platform/fault_guard.h"
#include "services/extcall/dll_libraries.h"
#include "services/extcall/dll_store.h"

namespace services {

using engine::TagVar;

namespace {

// What the guarded body needs and gives.
struct Invocation {
  VtExtFunction function;
  int32_t count;
  VtExtArg* records;
  int32_t result;
};

void Invoke(void* context) {
  auto* call = static_cast<Invocation*>(context);
  call->result = call->function(call->count, call->records);
}

// The value field of a record: a map's handle, else the integer field.
int32_t SentValue(const TagVar& v) { return v.kind == engine::kVarMap ? v.mapHandle : v.intValue; }

// A variable's text buffer goes to the library as it is, unless the
// library must not write it: a constant's text, or the empty text all
// values share before they get their own.
bool NeedsScratch(const TagVar& v) { return v.readOnly != 0 || v.TextCapacity() == 0; }

size_t ScratchBytes(const TagVar& v) {
  return v.kind == engine::kVarString ? v.Bytes().size() + 1 : 1;
}

}  // namespace

TagDllCall::TagDllCall(std::string_view name, engine::TagTelBasic* script,
                       const std::vector<TagVar*>& args)
    : name_(name), script_(script), args_(args), records_(args.size()) {}

VtExtFunction TagDllCall::Resolve(int32_t* bound_count) {
  const TagVtDll* dlls = DllsOf(script_);
  if (dlls == nullptr) return nullptr;
  const uint32_t bindings = BindingGeneration();
  if (dlls != seenStore_ || dlls->generation() != seenSlots_ || bindings != seenBindings_) {
    entry_ = reinterpret_cast<VtExtFunction>(dlls->FindFunc(name_, &boundCount_));
    seenStore_ = dlls;
    seenSlots_ = dlls->generation();
    seenBindings_ = bindings;
  }
  *bound_count = boundCount_;
  return entry_;
}

void TagDllCall::FillRecords() {
  size_t scratch = 0;
  for (const TagVar* v : args_) {
    if (NeedsScratch(*v)) scratch += ScratchBytes(*v);
  }
  scratch_.assign(scratch, '\0');
  char* free_room = scratch_.data();
  for (size_t i = 0; i < args_.size(); ++i) {
    TagVar& v = *args_[i];
    VtExtArg& r = records_[i];
    r.kind = v.kind;
    r.value = SentValue(v);
    r.number = v.floatValue;
    if (NeedsScratch(v)) {
      const std::string_view bytes = v.Bytes();
      std::copy(bytes.begin(), bytes.end(), free_room);
      r.text = free_room;
      free_room += ScratchBytes(v);
    } else {
      r.text = v.MutableText();
    }
  }
}

void TagDllCall::TakeBack() {
  for (size_t i = 0; i < args_.size(); ++i) {
    TagVar& v = *args_[i];
    const VtExtArg& r = records_[i];
    if (v.readOnly != 0) continue;
    const bool handle_kind = r.kind == engine::kVarMap || r.kind == engine::kVarFunction;
    if (r.kind < engine::kVarNull || r.kind > engine::kVarFunction ||
        (handle_kind && (r.kind != v.kind || r.value != SentValue(v)))) {
      frame::LogAlwaysF("DllRun Err: %s(): argument %d: kind %d, value %d refused", name_.c_str(),
                        static_cast<int>(i + 1), static_cast<int>(r.kind),
                        static_cast<int>(r.value));
      continue;
    }
    v.floatValue = r.number;
    if (handle_kind) continue;
    if (v.kind == engine::kVarMap) v.ReleaseMap();
    if (r.kind != engine::kVarString) {
      v.kind = r.kind;
      v.intValue = r.value;
      continue;
    }
    // A string: never longer than what the library may have written (the
    // string it was sent; the text a value of another kind held last, up
    // to its terminator), and never past the variable's own buffer.
    const int64_t claimed = std::max<int64_t>(static_cast<int64_t>(r.value) - 1, 0);
    const size_t room = v.TextCapacity();
    const size_t limit =
        v.kind == engine::kVarString ? v.Bytes().size() : ::strnlen(v.text(), room);
    const size_t length = std::min(static_cast<size_t>(claimed), limit);
    if (claimed > static_cast<int64_t>(limit)) {
      frame::LogAlwaysF("DllRun Err: %s(): argument %d: length %d cut to %d", name_.c_str(),
                        static_cast<int>(i + 1), static_cast<int>(claimed),
                        static_cast<int>(length));
    }
    if (room == 0) {
      v.SetBytes("", 0);
    } else {
      v.kind = engine::kVarString;
      v.SetLength(length);
    }
  }
}

int32_t TagDllCall::Execute() {
  int32_t bound_count = 0;
  const VtExtFunction function = Resolve(&bound_count);
  const auto count = static_cast<int32_t>(args_.size());
  if (function == nullptr || bound_count != count) return kDllCallNotBound;
  FillRecords();
  Invocation call{function, count, records_.data(), kDllCallFault};
  try {
    const int fault = platform::RunFaultGuarded(&Invoke, &call);
    if (fault != 0) {
      frame::LogAlwaysF("DllRun Err: %s()", name_.c_str());
      return kDllCallFault;
    }
  } catch (const abi::__forced_unwind&) {
    throw;  // the thread is being cancelled: let it go on
  } catch (const std::exception& e) {
    frame::LogAlwaysF("DllRun Err: %s(): %s", name_.c_str(), e.what());
    return kDllCallFault;
  } catch (...) {
    frame::LogAlwaysF("DllRun Err: %s()", name_.c_str());
    return kDllCallFault;
  }
  TakeBack();
  return call.result;
}

}  // namespace services

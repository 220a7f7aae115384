// The external-library statements of the script language: "DllLoad(",
// "DllFunction(", "DllFree(", "DllFreeAll(" and the call of a declared
// function by its name (TagDllCall, kind 'g'), with the calling convention
// of include/vttel_extcall.h. The statements act on the line's store
// (dll_store.h); a call runs the library's function on the line's thread,
// without any lock, under a fault guard.
#ifndef VTTEL_SERVICES_EXTCALL_DLL_STATEMENTS_H_
#define VTTEL_SERVICES_EXTCALL_DLL_STATEMENTS_H_

namespace services {

// Registers the four statements, the store factory of slot kDlls and the
// compiler's factory of declared calls.
void RegisterDllStatements();

}  // namespace services

#endif  // VTTEL_SERVICES_EXTCALL_DLL_STATEMENTS_H_

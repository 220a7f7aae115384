# vttel_user_library(NAME SOURCE...): a shared library as an operator builds
# one for scripts to load ("DllLoad("), against include/vttel_extcall.h: no
# sanitizers (a user's library is not instrumented) and no GNU unique
# symbols (so that it unloads when the last line frees it).
function(vttel_user_library name)
  add_library(${name} SHARED ${ARGN})
  get_target_property(options ${name} COMPILE_OPTIONS)
  list(FILTER options EXCLUDE REGEX "sanitize")
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND options $<$<COMPILE_LANGUAGE:CXX>:-fno-gnu-unique>)
  endif()
  set_target_properties(${name} PROPERTIES COMPILE_OPTIONS "${options}" LINK_OPTIONS "")
endfunction()

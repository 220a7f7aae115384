# The dBASE fuzz target also runs in the ordinary test build, driven by
# random tables from a test (a short smoke run under the sanitizers).
if(TARGET services_tests)
  target_sources(services_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/dbf_fuzz.cc)
endif()

# A user library for the external-library tests, built as an operator
# builds one.
vttel_user_library(vttel_extcall_test ${CMAKE_CURRENT_LIST_DIR}/extcall/test_library.cc)
# A database client library with only its init entry points, some under
# decorated names.
vttel_user_library(vttel_client_entries ${CMAKE_CURRENT_LIST_DIR}/db/client_entry_library.cc)
# User libraries whose load-time code crashes, aborts, exits, hangs or
# counts its runs ("libvttel_load_<way>.so" beside the test library).
set(load_fault_ways null_write abort exit sleep count)
foreach(way ${load_fault_ways})
  list(FIND load_fault_ways ${way} index)
  math(EXPR number "${index} + 1")
  vttel_user_library(vttel_load_${way} ${CMAKE_CURRENT_LIST_DIR}/extcall/load_fault_library.cc)
  target_compile_definitions(vttel_load_${way} PRIVATE LOAD_FAULT=${number})
endforeach()
# The fault guard's test catches processor faults in that library: under
# AddressSanitizer only with ASan's own fault handlers off, so it is a
# binary of its own (in extcall/guard/, outside the folders the services
# tests are gathered from).
if(TARGET services_tests)
  add_executable(services_extcall_guard_tests
                 ${CMAKE_CURRENT_LIST_DIR}/extcall/guard/fault_guard_test.cc)
  target_link_libraries(services_extcall_guard_tests PRIVATE services engine frame platform)
  vttel_test_target(services_extcall_guard_tests)
  gtest_discover_tests(services_extcall_guard_tests DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS services TIMEOUT 600
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:allow_user_segv_handler=1:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0")
endif()
foreach(binary services_tests services_concurrency_tests services_extcall_guard_tests)
  if(TARGET ${binary})
    add_dependencies(${binary} vttel_extcall_test vttel_client_entries vtdemo)
    foreach(way ${load_fault_ways})
      add_dependencies(${binary} vttel_load_${way})
    endforeach()
  endif()
endforeach()

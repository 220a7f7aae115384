# The dBASE fuzz target also runs in the ordinary test build, driven by
# random tables from a test (a short smoke run under the sanitizers).
if(TARGET services_tests)
  target_sources(services_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/dbf_fuzz.cc)
endif()

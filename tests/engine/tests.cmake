# The keyword fuzz target also runs in the ordinary test build, driven by
# random inputs from a test (a short smoke run under the sanitizers).
if(TARGET engine_tests)
  target_sources(engine_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/keyword_fuzz.cc)
endif()

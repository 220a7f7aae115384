# The keyword fuzz target also runs in the ordinary test build, driven by
# random inputs from a test (a short smoke run under the sanitizers).
if(TARGET engine_tests)
  target_sources(engine_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/keyword_fuzz.cc)
endif()
# The memory-limit tests run the plain (unsanitized) vtsrun of the release
# build under an address-space limit; without one they skip.
set(VTTEL_RELEASE_DIR "${CMAKE_SOURCE_DIR}/build/release" CACHE PATH
    "Release build whose tools the memory-limit tests run")
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/engine/run_fault_test.cc PROPERTIES
  COMPILE_DEFINITIONS VTTEL_RELEASE_TOOLS_DIR="${VTTEL_RELEASE_DIR}/tools")

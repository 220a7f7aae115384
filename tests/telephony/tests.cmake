# The message and inter-line statements run on lines: their tests link the
# services layer.
foreach(binary telephony_tests telephony_concurrency_tests telephony_slow_tests)
  if(TARGET ${binary})
    target_link_libraries(${binary} PRIVATE services)
  endif()
endforeach()
# The fax files are checked with libtiff (linked into the tests only).
find_package(PkgConfig REQUIRED)
pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
if(TARGET telephony_tests)
  target_link_libraries(telephony_tests PRIVATE PkgConfig::TIFF)
endif()
# The text-to-fax fuzz target also runs in the ordinary test build, driven by
# random inputs from a test (a short smoke run under the sanitizers).
if(TARGET telephony_tests)
  target_sources(telephony_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/text_fax_fuzz.cc)
endif()

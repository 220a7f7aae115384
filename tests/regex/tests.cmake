# The regex tests compare with PCRE2 and read corpora that
# tests/regex/fetch_data.sh unpacks from Debian packages into build/data.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
foreach(binary regex_tests regex_slow_tests regex_concurrency_tests)
  if(TARGET ${binary})
    target_link_libraries(${binary} PRIVATE PkgConfig::PCRE2)
  endif()
endforeach()
# The replace fuzz target also runs in the ordinary test build, driven by
# random inputs from a test (a short smoke run under the sanitizers).
if(TARGET regex_tests)
  target_sources(regex_tests PRIVATE ${CMAKE_SOURCE_DIR}/fuzz/replace_fuzz.cc)
endif()

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

# The message and inter-line statements run on lines: their tests link the
# services layer.
foreach(binary telephony_tests telephony_concurrency_tests telephony_slow_tests)
  if(TARGET ${binary})
    target_link_libraries(${binary} PRIVATE services)
  endif()
endforeach()

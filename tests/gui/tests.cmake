# The slow window tests run the window's test binary for a picture of a
# paused debugger page.
foreach(b gui_slow_tests gui_slow_wait_tests)
  if(TARGET ${b})
    add_dependencies(${b} gui_tests)
  endif()
endforeach()

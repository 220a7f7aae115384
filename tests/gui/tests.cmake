# The main window's picture goes where the lead looks at test results.
if(TARGET gui_slow_tests)
  target_compile_definitions(gui_slow_tests PRIVATE
    VTTEL_ARTIFACTS_DIR="${CMAKE_BINARY_DIR}/Testing/artifacts"
    VTTEL_GUI_TESTS="$<TARGET_FILE:gui_tests>")
  add_dependencies(gui_slow_tests gui_tests)
endif()

# vttel_layer(NAME DEPENDENCY... [FOLDERS FOLDER...]): the static library of
# one layer, made of the *.cc files of its folder and of the subfolders named
# after FOLDERS (a large layer keeps its files in folders by concern), and
# linked to the layers below it. A layer of headers only (board) is an
# interface target that carries its place in the dependency order. The
# target keeps its folders (property VTTEL_FOLDERS): the layer's tests are
# in folders of the same names (tests/CMakeLists.txt).
#
# The order (a layer links only layers below it):
#   platform <- regex; platform <- frame <- engine <- telephony, services;
#   board <- telephony, simboard (board: the board's entry points, header-only);
#   frame, engine <- gui (the window sees the lines through frame's interfaces
#   and the debugged script through the engine's debugger view);
#   the program vttel links them all and hands the simulated board to telephony.
# Only platform includes the OS's headers (tests/platform/os_headers_test.cc);
# includes follow the order, and the folders of a layer whose folders are
# independent (services) include none of each other
# (tests/platform/include_direction_test.cc).
function(vttel_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "FOLDERS")
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  foreach(folder ${layer_FOLDERS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cc)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${layer_UNPARSED_ARGUMENTS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${layer_UNPARSED_ARGUMENTS})
  endif()
  set_property(TARGET ${name} PROPERTY VTTEL_FOLDERS "${layer_FOLDERS}")
endfunction()

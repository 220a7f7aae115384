# vttel_layer(NAME DEPENDENCY...): the static library of one layer, made of
# the *.cc files of its folder and linked to the layers below it. A layer
# whose sources have not been written yet is an interface target that only
# carries its place in the dependency order.
function(vttel_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

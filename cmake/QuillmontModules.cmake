# Each folder of the library is an object module of its own, so that a test
# suite can link just the layers it exercises and a half-finished panel never
# breaks the build of another.
function(quillmont_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    # An empty module still has to exist as a target for its dependants.
    set(sources "${PROJECT_SOURCE_DIR}/cmake/empty.cpp")
  endif()
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_definitions(${name} PRIVATE QUILLMONT_BUILDING)
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  foreach(dep IN LISTS ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
endfunction()

# Each folder of the library is an object module of its own, so that a test
# suite can link just the layers it exercises and a module links only the
# modules below it.
function(quillmont_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<BUILD_INTERFACE:${QUILLMONT_GENERATED_INCLUDE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_definitions(${name} PRIVATE QUILLMONT_BUILDING)
  set_target_properties(${name} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  foreach(dep IN LISTS ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
endfunction()

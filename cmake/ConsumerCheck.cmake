# Run as a test (cmake -P): installs the built library into a scratch prefix,
# then configures, builds and runs tests/consumer against that prefix only.
# The C++ example of README.md (its one ```cpp block) is built and run there
# too, so the documented host code keeps matching the library.
# Inputs: BUILD_DIR, SOURCE_DIR, WORK_DIR, GENERATOR, MAKE_PROGRAM,
# CXX_COMPILER, BUILD_TYPE, CXX_FLAGS, EXE_LINKER_FLAGS, README and GUIDE
# (optional; every ```cpp block of the embedding guide, in order, is one
# program built against the shared and the static library and run).
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "ConsumerCheck: ${var} is not set")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ConsumerCheck: ${step} failed (${rc}):\n${out}")
  endif()
  message(STATUS "ConsumerCheck: ${step} done")
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(example_args)
set(executables consumer_shared consumer_static)
if(README)
  file(READ ${README} readme)
  string(REGEX MATCH "```cpp\n([^`]*)```" block "${readme}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "ConsumerCheck: no ```cpp example found in ${README}")
  endif()
  file(WRITE ${WORK_DIR}/readme_example.cpp "${CMAKE_MATCH_1}")
  set(example_args -DREADME_EXAMPLE=${WORK_DIR}/readme_example.cpp)
  list(APPEND executables readme_example)
endif()

if(GUIDE)
  # sed, not CMake lists: the code holds semicolons.
  execute_process(COMMAND sed -n [[/^```cpp$/,/^```$/{/^```/d;p;}]] ${GUIDE}
    OUTPUT_FILE ${WORK_DIR}/embedding_guide.cpp RESULT_VARIABLE rc)
  file(SIZE ${WORK_DIR}/embedding_guide.cpp size)
  if(NOT rc EQUAL 0 OR size EQUAL 0)
    message(FATAL_ERROR "ConsumerCheck: no ```cpp block found in ${GUIDE}")
  endif()
  list(APPEND example_args -DGUIDE_PROGRAM=${WORK_DIR}/embedding_guide.cpp)
  list(APPEND executables guide_shared guide_static)
endif()

run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
# The installed registration tool finds and registers the library installed
# beside it, whatever the search path.
if(EXISTS ${prefix}/bin/quillmont-regsvr)
  run("installed quillmont-regsvr" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH
      ${prefix}/bin/quillmont-regsvr --registry ${WORK_DIR}/registry register)
  if(NOT last_output MATCHES "Registered ${prefix}/")
    message(FATAL_ERROR "ConsumerCheck: quillmont-regsvr registered no library of ${prefix}: ${last_output}")
  endif()
endif()

set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${EXE_LINKER_FLAGS}"
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF
  ${example_args})
if(MAKE_PROGRAM)
  list(APPEND configure -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM})
endif()
run("configure" ${configure})

# The package must come from the scratch prefix, not from some other
# installation on the machine.
file(STRINGS ${build}/CMakeCache.txt found REGEX "^Quillmont_DIR:")
string(FIND "${found}" "${prefix}/" at)
if(NOT at GREATER -1)
  message(FATAL_ERROR "ConsumerCheck: Quillmont was found outside ${prefix}: ${found}")
endif()

run("build" ${CMAKE_COMMAND} --build ${build} --parallel 1)
foreach(exe IN LISTS executables)
  run("${exe}" ${build}/${exe})
  message(STATUS "${last_output}")
endforeach()


# The checks of the whole package, made with the README example.
if(README)
  # The host-side loader creates a page that the installed registration tool
  # recorded, by program identifier.
  file(GLOB_RECURSE shared_library ${prefix}/lib*/libquillmont.so.8)
  list(GET shared_library 0 shared_library)
  get_filename_component(libdir ${shared_library} DIRECTORY)
  run("register" ${prefix}/bin/quillmont-regsvr --registry ${WORK_DIR}/registry register ${shared_library})
  run("host_loader" ${build}/host_loader ${WORK_DIR}/registry)

  # A host's plugin on the static library exports its own entry, nothing of ours.
  run("plugin symbols" nm -D --defined-only -C ${build}/libconsumer_plugin.so)
  if(last_output MATCHES "quillmont::" OR NOT last_output MATCHES "consumer_plugin_entry")
    message(FATAL_ERROR "ConsumerCheck: the plugin exports:\n${last_output}")
  endif()

  # The library exports its own API only: no standard-library template code.
  run("library symbols" nm -D --defined-only -C ${shared_library})
  if(last_output MATCHES "(^|\n)[0-9a-f]+ W (std::|__gnu_cxx::)")
    message(FATAL_ERROR "ConsumerCheck: libquillmont.so exports standard-library instantiations:\n${last_output}")
  endif()
  set(library_symbols "${last_output}")
  # Every installed header builds alone from the prefix: none needs one that
  # stays inside (the storage layer, the definitions' key index).
  file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/quillmont/*.h)
  foreach(header IN LISTS headers)
    file(WRITE ${WORK_DIR}/header_alone.cpp "#include \"${header}\"\n")
    run("${header} alone" ${CXX_COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I${prefix}/include
      ${WORK_DIR}/header_alone.cpp)
  endforeach()

  # Only what a host may call is exported: every exported member function is
  # one a class deriving from its class may name (public or protected), so
  # no private helper is part of the binary interface. A derived probe per
  # class and name; a final class is probed from outside.
  set(all_headers "")
  set(final_classes "")
  foreach(header IN LISTS headers)
    string(APPEND all_headers "#include \"${header}\"\n")
    file(STRINGS ${prefix}/include/${header} finals REGEX "^class QUILLMONT_API [A-Za-z_0-9]+ final")
    foreach(line IN LISTS finals)
      string(REGEX REPLACE "^class QUILLMONT_API ([A-Za-z_0-9]+) final.*" "\\1" name "${line}")
      list(APPEND final_classes ${name})
    endforeach()
  endforeach()
  string(REPLACE "\n" ";" exported "${library_symbols}")
  set(probes "")
  set(probed "")
  set(n 0)
  foreach(line IN LISTS exported)
    if(NOT line MATCHES "^[0-9a-f]+ [TW] (quillmont::[^(]+)\\(")
      continue()
    endif()
    string(REPLACE "[abi:cxx11]" "" qualified "${CMAKE_MATCH_1}")
    string(FIND "${qualified}" "::" at REVERSE)
    string(SUBSTRING "${qualified}" 0 ${at} owner)
    math(EXPR at "${at} + 2")
    string(SUBSTRING "${qualified}" ${at} -1 member)
    # Classes are named in capitals, namespaces in lower case.
    string(REGEX REPLACE "<.*>" "" plain_owner "${owner}")
    string(REGEX REPLACE ".*::" "" class "${plain_owner}")
    if(NOT class MATCHES "^[A-Z]" OR member STREQUAL class OR member MATCHES "^~" OR "${owner}::${member}" IN_LIST probed)
      continue()
    endif()
    list(APPEND probed "${owner}::${member}")
    math(EXPR n "${n} + 1")
    if(class IN_LIST final_classes)
      string(APPEND probes "static_assert(sizeof(&${owner}::${member}) > 0);\n")
    else()
      string(APPEND probes "struct Probe${n} : ${owner} { using ${owner}::${member}; };\n")
    endif()
  endforeach()
  if(n LESS 100)
    message(FATAL_ERROR "ConsumerCheck: only ${n} exported member functions found to probe:\n${library_symbols}")
  endif()
  file(WRITE ${WORK_DIR}/exported_members.cpp "${all_headers}namespace probe {\n${probes}}\n")
  run("exported members are public (${n})" ${CXX_COMPILER} -std=c++20 -fsyntax-only -I${prefix}/include
    ${WORK_DIR}/exported_members.cpp)

  # Every inline function of the installed headers links against the shared
  # library: none calls a function kept inside. GCC alone emits them all.
  if(CXX_COMPILER_ID STREQUAL "GNU")
    file(WRITE ${WORK_DIR}/inline_functions.cpp "${all_headers}int main() {}\n")
    run("inline functions link" ${CXX_COMPILER} -std=c++20 -fkeep-inline-functions -I${prefix}/include
      ${WORK_DIR}/inline_functions.cpp -o ${WORK_DIR}/inline_functions -L${libdir} -lquillmont)
  endif()

  # pkg-config: the README example built with the flags of quillmont.pc, against
  # the shared library and (with --static) the static one.
    set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
    separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
    run("pkg-config" pkg-config --cflags --libs quillmont)
    separate_arguments(flags UNIX_COMMAND "${last_output}")
    run("pkg-config build" ${CXX_COMPILER} -std=c++20 ${cxx_flags} ${WORK_DIR}/readme_example.cpp
      -o ${WORK_DIR}/readme_pkgconfig ${flags})
    run("pkg-config run" ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/readme_pkgconfig)
    run("pkg-config --static" pkg-config --static --cflags quillmont)
    separate_arguments(static_cflags UNIX_COMMAND "${last_output}")
    run("pkg-config --static" pkg-config --static --libs quillmont)
    separate_arguments(static_libs UNIX_COMMAND "${last_output}")
    run("pkg-config static build" ${CXX_COMPILER} -std=c++20 ${cxx_flags} ${static_cflags}
      ${WORK_DIR}/readme_example.cpp -o ${WORK_DIR}/readme_pkgconfig_static -Wl,-Bstatic ${static_libs} -Wl,-Bdynamic)
    run("static needs" readelf -d ${WORK_DIR}/readme_pkgconfig_static)
    if(last_output MATCHES "libquillmont")
      message(FATAL_ERROR "ConsumerCheck: the static build needs the shared library:\n${last_output}")
    endif()
    run("pkg-config static run" ${WORK_DIR}/readme_pkgconfig_static)
    if(EXISTS ${libdir}/pkgconfig/quillmont-qt.pc)
      run("pkg-config qt" pkg-config --print-errors --cflags --libs quillmont-qt)
    endif()

  # Before C++20 the headers say what they need.
  file(WRITE ${WORK_DIR}/cxx17.cpp "#include \"quillmont/platform/guid.h\"\n")
  execute_process(COMMAND ${CXX_COMPILER} -std=c++17 -fsyntax-only -I${prefix}/include ${WORK_DIR}/cxx17.cpp
    RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
  if(rc EQUAL 0 OR NOT err MATCHES "need C\\+\\+20")
    message(FATAL_ERROR "ConsumerCheck: C++17 does not meet the #error naming C++20:\n${err}")
  endif()

  # Install components: the library alone, and the development files alone,
  # bring no program.
  foreach(component lib dev)
    set(to ${WORK_DIR}/component-${component})
    run("install ${component}" ${CMAKE_COMMAND} --install ${BUILD_DIR} --component ${component} --prefix ${to})
    file(GLOB_RECURSE files RELATIVE ${to} ${to}/*)
    list(FILTER files EXCLUDE REGEX "^share/doc/")
    set(expected "^lib[^/]*/libquillmont\\.so\\.8")
    if(component STREQUAL "dev")
      set(expected "^(include/|lib[^/]*/(libquillmont\\.so|libquillmont\\.a|libquillmont_qt\\.a|libquillmont_host\\.a|cmake/|pkgconfig/))")
    endif()
    foreach(file IN LISTS files)
      if(NOT file MATCHES "${expected}")
        message(FATAL_ERROR "ConsumerCheck: component ${component} installs ${file}")
      endif()
    endforeach()
  endforeach()
endif()

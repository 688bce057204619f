# Install components and Debian packages.
#
#   component  what                                       package
#   lib        libquillmont.so.8                          libquillmont8
#   dev        headers, static libraries, CMake and       libquillmont-dev
#              pkg-config files, the host-side loader
#   editor     quillmont-editor                           quillmont-editor
#   notify     quillmont-notify, quillmont-dispatch and   quillmont-editor
#              its systemd user unit
#   regsvr     quillmont-regsvr                           quillmont-editor
#   studio     quillmont-studio                           quillmont-studio
#
# `cmake --install build --component dev` installs one of them; `cpack -G DEB`
# in the build folder writes the packages.

# pkg-config files, beside the CMake package; relocatable, as the CMake
# package is (the prefix is found from the file's own place).
file(RELATIVE_PATH QUILLMONT_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" QUILLMONT_PC_TO_PREFIX "${QUILLMONT_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quillmont.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/quillmont.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/quillmont.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
if(TARGET quillmont_qt)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quillmont-qt.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/quillmont-qt.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/quillmont-qt.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

# Debian keeps manual pages and changelogs compressed (gzip -n: no time stamp,
# so the packages build the same twice).
function(quillmont_gzip source destination)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  get_filename_component(folder ${destination} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND gzip -9n -c ${source} OUTPUT_FILE ${destination} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip of ${source} failed")
  endif()
endfunction()

# A manual page for each program, with the program's component.
set(QUILLMONT_PROGRAM_COMPONENTS
  quillmont-editor editor quillmont-notify notify quillmont-dispatch notify quillmont-regsvr regsvr
  quillmont-studio studio)
while(QUILLMONT_PROGRAM_COMPONENTS)
  list(POP_FRONT QUILLMONT_PROGRAM_COMPONENTS program component)
  if(TARGET ${program})
    quillmont_gzip(${PROJECT_SOURCE_DIR}/packaging/man/${program}.1 ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
      COMPONENT ${component})
  endif()
endwhile()

# Copyright and changelog in every package's documentation folder.
quillmont_gzip(${PROJECT_SOURCE_DIR}/packaging/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
set(QUILLMONT_PACKAGES lib libquillmont8 dev libquillmont-dev editor quillmont-editor studio quillmont-studio)
set(QUILLMONT_DOCUMENTED ${QUILLMONT_PACKAGES})
while(QUILLMONT_DOCUMENTED)
  list(POP_FRONT QUILLMONT_DOCUMENTED component package)
  if(component STREQUAL "editor" AND NOT TARGET quillmont-editor OR component STREQUAL "studio" AND NOT TARGET quillmont-studio)
    continue()
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endwhile()

set(CPACK_PACKAGE_NAME quillmont)
set(CPACK_PACKAGE_VENDOR "Quillmont developers")
set(CPACK_PACKAGE_CONTACT "Quillmont developers <quillmont@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Notification editor pages, editors and delivery tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(QUILLMONT_DEB_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libquillmont8)
set(CPACK_DEBIAN_LIB_DESCRIPTION "Quillmont notification editor pages (shared library): the three pages of a notification definition editor (SNMP managers, e-mail recipients, event types) behind a tab contract, for C++20 hosts.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libquillmont-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libquillmont8 (= ${QUILLMONT_DEB_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Quillmont notification editor pages (development files): headers, the static library, the host-side loader, and the CMake package and pkg-config files (quillmont, quillmont-qt) to build hosts of the pages.")
set(CPACK_DEBIAN_EDITOR_PACKAGE_NAME quillmont-editor)
set(CPACK_DEBIAN_EDITOR_PACKAGE_SECTION utils)
# quillmont-regsvr registers the shared library.
set(CPACK_DEBIAN_EDITOR_PACKAGE_DEPENDS "libquillmont8 (= ${QUILLMONT_DEB_VERSION})")
set(CPACK_DEBIAN_EDITOR_DESCRIPTION "Quillmont terminal editor and delivery tools: quillmont-editor edits notifications in the terminal, quillmont-notify delivers them for an event, quillmont-dispatch retries what could not be delivered at once, quillmont-regsvr registers component libraries.")
set(CPACK_DEBIAN_STUDIO_PACKAGE_NAME quillmont-studio)
set(CPACK_DEBIAN_STUDIO_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_STUDIO_DESCRIPTION "Quillmont desktop editor: quillmont-studio edits the notifications of a store in Qt windows.")

set(CPACK_COMPONENTS_ALL lib dev regsvr)
if(TARGET quillmont-editor)
  list(APPEND CPACK_COMPONENTS_ALL editor notify)
endif()
if(TARGET quillmont-studio)
  list(APPEND CPACK_COMPONENTS_ALL studio)
endif()
include(CPack)
foreach(group lib dev editor studio)
  cpack_add_component_group(${group})
endforeach()
cpack_add_component(lib GROUP lib)
cpack_add_component(dev GROUP dev DEPENDS lib)
cpack_add_component(editor GROUP editor)
cpack_add_component(notify GROUP editor)
cpack_add_component(regsvr GROUP editor)
cpack_add_component(studio GROUP studio)

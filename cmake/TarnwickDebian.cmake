# Debian packages of the release build, by install component (cpack -G DEB in the build tree):
#   libtarnwick-ini1       runtime      the two control libraries and the system registry naming them
#   libtarnwick-ini-fltk   fltk         the module that puts windows on screen with FLTK; recommended by
#                                       the runtime package, whose libraries load it only to show a
#                                       window, so that they depend on no GUI library
#   libtarnwick-ini-dev    development  headers, the links to link with, CMake packages, pkg-config files
#   twhost                 twhost       the container program, its manual page and bash completion
#   twini                  twini        the command that reads and edits INI files, its manual page and
#                                       bash completion; a package of its own, since it needs neither
#                                       the plug-ins nor twhost (it carries the writer linked in)
# Each carries the MIT license as its copyright file and the Debian changelog; run-time dependencies
# come from the binaries (dpkg-shlibdeps, Debian's dpkg-dev), and the binaries are stripped.
#
# The packages install under CMAKE_INSTALL_PREFIX, which the release preset sets to /usr: the paths
# compiled into the libraries and written into the manual pages are those of the packages.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick INI controls developers <maintainers@users.noreply.c-seed-86e0c478.example>"
    CACHE STRING "The Maintainer of the Debian packages: a name and an address")
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
tarnwick_gzip(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/debian/changelog.gz)

set(tarnwick_packages runtime:libtarnwick-ini1 development:libtarnwick-ini-dev twhost:twhost twini:twini)
if(TARGET tarnwick_fltk)
    list(APPEND tarnwick_packages fltk:libtarnwick-ini-fltk)
endif()
set(CPACK_COMPONENTS_ALL "")
foreach(pair IN LISTS tarnwick_packages)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 component)
    list(GET pair 1 package)
    list(APPEND CPACK_COMPONENTS_ALL ${component})
    string(TOUPPER ${component} COMPONENT)
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
        RENAME copyright COMPONENT ${component})
    install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME tarnwick-ini)
set(CPACK_PACKAGE_VENDOR "The Tarnwick INI controls developers")
set(CPACK_PACKAGE_CONTACT "${CPACK_DEBIAN_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries' shlibs file (which also makes dpkg run ldconfig by its trigger): a package built
# against them depends on this version or a later one.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FLTK_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TWHOST_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TWINI_PACKAGE_SECTION utils)
# Each line of a description below its first is at most 79 characters (CPack puts a space before it).
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "INI-file controls: the writer penmoor and the reader tw_ini (MIT license)
Two embeddable controls, each a plug-in with the four entry points of the
component interface and a C++ class: penmoor tests, reads and edits one INI
file on disk through atomic, locked rewrites; tw_ini loads a whole file into
tables and answers queries. The system registry /usr/share/tarnwick/registry
names both, so a host creates them by ProgID without registering them.")
set(CPACK_DEBIAN_FLTK_DESCRIPTION
    "INI-file controls: windows on screen with FLTK (MIT license)
The module that shows the controls' windows, such as the writer's constants
window, on an X display. The libraries load it when a window first goes on
screen; without it, windows are headless.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "INI-file controls: development files (MIT license)
Headers of the C++ classes and of the C component interface, the links to
link with, CMake packages (find_package(penmoor), find_package(tw_ini)) and
pkg-config files.")
set(CPACK_DEBIAN_TWHOST_DESCRIPTION
    "container program for the INI-file controls (MIT license)
Loads control plug-ins through their entry points, registers them, and runs
scripts against them, printing every event and result.")
set(CPACK_DEBIAN_TWINI_DESCRIPTION
    "read and edit INI files safely from the shell (MIT license)
twini gets, lists, sets and deletes sections and keys of an INI file, several
edits in one call as one change. Every edit is locked and replaces the file
atomically, flushed to disk; lines it does not edit keep their bytes, line
ends aside.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtarnwick-ini1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_FLTK_PACKAGE_DEPENDS "libtarnwick-ini1 (= ${PROJECT_VERSION})")
if(TARGET tarnwick_fltk)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "libtarnwick-ini-fltk (= ${PROJECT_VERSION})")
endif()
set(CPACK_DEBIAN_TWHOST_PACKAGE_RECOMMENDS "libtarnwick-ini1 (= ${PROJECT_VERSION})")
include(CPack)

# Debian packages of the release build, by install component (cpack -G DEB in the build tree):
#   libtarnwick-ini1     runtime      the two control libraries and the system registry naming them
#   libtarnwick-ini-dev  development  headers, the links to link with, CMake packages, pkg-config files
#   twhost               twhost       the container program and its manual page
#   twini                twini        the command that reads and edits INI files, and its manual page;
#                                     a package of its own, since it needs neither the plug-ins nor
#                                     twhost (it carries the writer linked in)
# Each carries the MIT license as its copyright file; run-time dependencies come from the binaries
# (dpkg-shlibdeps, Debian's dpkg-dev).
set(tarnwick_packages runtime:libtarnwick-ini1 development:libtarnwick-ini-dev twhost:twhost twini:twini)
foreach(pair IN LISTS tarnwick_packages)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 component)
    list(GET pair 1 package)
    string(TOUPPER ${component} COMPONENT)
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
        RENAME copyright COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME tarnwick-ini)
set(CPACK_PACKAGE_VENDOR "The Tarnwick INI controls developers")
set(CPACK_PACKAGE_CONTACT "The Tarnwick INI controls developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL runtime development twhost twini)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TWHOST_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TWINI_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "INI-file controls: the writer penmoor and the reader tw_ini (MIT license)
 Two embeddable controls, each a plug-in with the four entry points of the component
 interface and a C++ class: penmoor tests, reads and edits one INI file on disk through
 atomic, locked rewrites; tw_ini loads a whole file into tables and answers queries.
 The system registry /usr/share/tarnwick/registry names both, so a host creates
 them by ProgID without registering them.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "INI-file controls: development files (MIT license)
 Headers of the C++ classes and of the C component interface, the links to link with,
 CMake packages (find_package(penmoor), find_package(tw_ini)) and pkg-config files.")
set(CPACK_DEBIAN_TWHOST_DESCRIPTION
    "container program for the INI-file controls (MIT license)
 Loads control plug-ins through their entry points, registers them, and runs scripts
 against them, printing every event and result.")
set(CPACK_DEBIAN_TWINI_DESCRIPTION
    "read and edit INI files safely from the shell (MIT license)
 twini gets, lists, sets and deletes sections and keys of an INI file, several
 edits in one call as one change. Every edit is locked and replaces the file
 atomically, flushed to disk; lines it does not edit keep their bytes, line
 ends aside.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtarnwick-ini1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TWHOST_PACKAGE_RECOMMENDS "libtarnwick-ini1 (= ${PROJECT_VERSION})")
include(CPack)

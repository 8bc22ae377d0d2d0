# Install rules for one control library: its headers, the shared object, a CMake package
# (find_package(<name> CONFIG) gives <name>::<name>) and a pkg-config file. The shared object is of the
# install component `runtime`; the rest, the link that development links with included, of
# `development` (TarnwickDebian.cmake makes a Debian package of each).
include(CMakePackageConfigHelpers)

function(tarnwick_package target)
    cmake_parse_arguments(PKG "" "DESCRIPTION;HEADER_DIR" "" ${ARGN})
    if(NOT TARNWICK_INSTALL)
        return()
    endif()
    install(TARGETS ${target} EXPORT ${target}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY ${PKG_HEADER_DIR} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
    foreach(header IN LISTS PLATFORM_PUBLIC_HEADERS)
        string(REGEX REPLACE "^[a-z]+/include/" "" installed ${header})
        get_filename_component(subdir ${installed} DIRECTORY)
        install(FILES ${PROJECT_SOURCE_DIR}/platform/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${subdir}
            COMPONENT development)
    endforeach()

    set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
    install(EXPORT ${target}Targets NAMESPACE ${target}:: DESTINATION ${config_dir} COMPONENT development)
    set(PACKAGE_NAME ${target})
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in
        ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake INSTALL_DESTINATION ${config_dir})
    write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
        VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
        ${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake DESTINATION ${config_dir} COMPONENT development)

    # The .pc file names the prefix it is installed under, given when installing (cmake --install
    # --prefix, or /usr in the packages): everything but the prefix is filled in now, the prefix then.
    set(PC_PREFIX "@PC_PREFIX@")
    set(PC_NAME ${target})
    set(PC_DESCRIPTION "${PKG_DESCRIPTION}")
    set(pc ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/package.pc.in ${pc}.in @ONLY)
    install(CODE "set(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
        configure_file(\"${pc}.in\" \"${pc}\" @ONLY)
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\" TYPE FILE
            FILES \"${pc}\")"
        COMPONENT development)
endfunction()

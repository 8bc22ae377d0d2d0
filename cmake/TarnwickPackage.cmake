# Install rules for one control library: its headers, the shared object, a CMake package
# (find_package(<name> CONFIG) gives <name>::<name>) and a pkg-config file.
include(CMakePackageConfigHelpers)

function(tarnwick_package target)
    cmake_parse_arguments(PKG "" "DESCRIPTION;HEADER_DIR" "" ${ARGN})
    if(NOT TARNWICK_INSTALL)
        return()
    endif()
    install(TARGETS ${target} EXPORT ${target}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(DIRECTORY ${PKG_HEADER_DIR} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    foreach(header IN LISTS PLATFORM_PUBLIC_HEADERS)
        get_filename_component(subdir ${header} DIRECTORY)
        string(REGEX MATCH "^tarnwick/([a-z]+)/" part ${header})
        install(FILES ${PROJECT_SOURCE_DIR}/platform/${CMAKE_MATCH_1}/include/${header}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${subdir})
    endforeach()

    set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
    install(EXPORT ${target}Targets NAMESPACE ${target}:: DESTINATION ${config_dir})
    set(PACKAGE_NAME ${target})
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in
        ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake INSTALL_DESTINATION ${config_dir})
    write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
        VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
        ${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake DESTINATION ${config_dir})

    # Relocatable: the prefix is found from where the .pc file lies.
    file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
    set(PC_NAME ${target})
    set(PC_DESCRIPTION "${PKG_DESCRIPTION}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/package.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

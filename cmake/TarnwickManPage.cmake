# Manual pages and other text the packages hold compressed, made when the project is configured.
#
# tarnwick_gzip(<input> <output>): <output> is <input> compressed as Debian's policy asks (gzip -9n: the
# most compression, no name and no time stamp), remade when <input> is newer.
# tarnwick_man_page(<page.N.in> COMPONENT <component>): the page with the install paths filled in,
# beside this directory's build files (where `man -l` reads it), and installed compressed to
# share/man/manN/ with the component.
find_program(TARNWICK_GZIP gzip)

function(tarnwick_gzip input output)
    if(NOT TARNWICK_GZIP)
        message(FATAL_ERROR "gzip is needed for the compressed files that are installed")
    endif()
    if("${input}" IS_NEWER_THAN "${output}")
        execute_process(COMMAND ${TARNWICK_GZIP} -9nc "${input}" OUTPUT_FILE "${output}"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
endfunction()

function(tarnwick_man_page source)
    cmake_parse_arguments(M "" "COMPONENT" "" ${ARGN})
    get_filename_component(name ${source} NAME)
    string(REGEX REPLACE "\\.in$" "" page ${name})
    string(REGEX MATCH "[0-9]$" section ${page})
    configure_file(${source} ${CMAKE_CURRENT_BINARY_DIR}/${page} @ONLY)
    if(TARNWICK_INSTALL)
        tarnwick_gzip(${CMAKE_CURRENT_BINARY_DIR}/${page} ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
            COMPONENT ${M_COMPONENT})
    endif()
endfunction()

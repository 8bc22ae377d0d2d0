# Warnings for the project's own targets only; consumers never inherit them.
function(tarnwick_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wconversion -Wshadow -Wnon-virtual-dtor)
    if(TARNWICK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
        # GCC before 13 reports -Wrestrict and -Wstringop-overflow inside libstdc++'s own string code
        # once it is inlined at -O2 and above (GCC bugs 105329 and 105651: "literal" + std::string is
        # enough). They stay warnings there, and errors in the unoptimised builds and with clang.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            target_compile_options(${target} PRIVATE
                $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Wno-error=restrict -Wno-error=stringop-overflow>)
        endif()
    endif()
endfunction()

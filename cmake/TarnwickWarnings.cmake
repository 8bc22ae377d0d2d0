# Warnings for the project's own targets only; consumers never inherit them.
function(tarnwick_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wconversion -Wshadow -Wnon-virtual-dtor)
    if(TARNWICK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

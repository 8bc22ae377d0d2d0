# compare_transcript(TRANSCRIPT EXPECTED WORK NAME): fails, showing the difference, unless the text
# TRANSCRIPT is the content of file EXPECTED; the actual transcript is then left in WORK for a look.
function(compare_transcript transcript expected work name)
    file(READ ${expected} wanted)
    if(NOT transcript STREQUAL wanted)
        file(WRITE ${work}/transcript.actual "${transcript}")
        execute_process(COMMAND diff -u ${expected} ${work}/transcript.actual OUTPUT_VARIABLE difference)
        message(FATAL_ERROR "transcript of ${name} differs from ${expected}:\n${difference}")
    endif()
endfunction()

# Runs one twini transcript script (transcript.sh) in a fresh directory with the built twini first on
# PATH, and compares its transcript with the expected one beside it.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(bin_dir ${TWINI} DIRECTORY)
set(ENV{PATH} "${bin_dir}:$ENV{PATH}")
set(ENV{LC_ALL} C)
execute_process(COMMAND sh ${RUNNER} ${SCRIPT} TIMEOUT 120
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE transcript ERROR_VARIABLE transcript)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the transcript runner failed (${result}):\n${transcript}")
endif()
file(READ ${EXPECTED} expected)
if(NOT transcript STREQUAL expected)
    file(WRITE ${WORK}/transcript.actual "${transcript}")
    execute_process(COMMAND diff -u ${EXPECTED} ${WORK}/transcript.actual OUTPUT_VARIABLE difference)
    message(FATAL_ERROR "transcript of ${SCRIPT} differs from ${EXPECTED}:\n${difference}")
endif()

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
include(${CMAKE_CURRENT_LIST_DIR}/../support/compare_transcript.cmake)
compare_transcript("${transcript}" ${EXPECTED} ${WORK} ${SCRIPT})

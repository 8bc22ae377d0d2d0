# Runs one twhost script in a fresh directory and compares its transcript with the expected one.
#
# The directory gets a registry of its own (TARNWICK_REGISTRY, a relative path) holding both plug-ins, a
# system registry that is not there (TARNWICK_SYSTEM_REGISTRY: never the machine's), and a copy of a
# library without entry points as "plain.so". The script runs with the options of its first line when
# that line is "' twhost: OPTIONS"; with STDIN set it is fed on standard input instead of being named. The transcript is standard output and standard error merged in order, then "exit N". Paths in it
# are relative to the directory, so it never names the build tree.
#
# There is no display, so windows are headless and twhost does not wait for them at the end; a twhost
# that waited anyway is stopped after a bound, and its transcript then differs.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
# The registry is refused in a directory that others may write, whatever the umask made of it.
file(CHMOD ${WORK} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
file(COPY_FILE ${PLAIN} ${WORK}/plain.so)
get_filename_component(script_name ${SCRIPT} NAME)
file(COPY_FILE ${SCRIPT} ${WORK}/${script_name})

set(ENV{TARNWICK_REGISTRY} registry)
set(ENV{TARNWICK_SYSTEM_REGISTRY} system-registry)
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
execute_process(COMMAND ${TWHOST} --register ${WRITER} --register ${READER}
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "registering the plug-ins failed (${result}):\n${output}")
endif()

file(STRINGS ${SCRIPT} first_line LIMIT_COUNT 1)
set(options "")
if(first_line MATCHES "^' twhost: (.*)$")
    separate_arguments(options UNIX_COMMAND "${CMAKE_MATCH_1}")
endif()
if(STDIN)
    execute_process(COMMAND ${TWHOST} ${options} INPUT_FILE ${WORK}/${script_name} TIMEOUT 120
        WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE transcript ERROR_VARIABLE transcript)
else()
    execute_process(COMMAND ${TWHOST} ${options} ${script_name} TIMEOUT 120
        WORKING_DIRECTORY ${WORK} RESULT_VARIABLE result OUTPUT_VARIABLE transcript ERROR_VARIABLE transcript)
endif()
string(APPEND transcript "exit ${result}\n")

include(${CMAKE_CURRENT_LIST_DIR}/../support/compare_transcript.cmake)
compare_transcript("${transcript}" ${EXPECTED} ${WORK} ${script_name})

# Runs examples/settings.cpp twice with a fresh user's directory and the example's system file:
#   -DWORK_DIR= -DPROGRAM= -DSYSTEM=
# The first run reads the system's values past its malformed line (warned of) and makes the user's file
# and directory; the second reads what the first wrote.
file(REMOVE_RECURSE ${WORK_DIR})
set(ENV{XDG_CONFIG_HOME} ${WORK_DIR})
set(ENV{XDG_CONFIG_DIRS} ${SYSTEM})
function(run expected)
    execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0 OR NOT out MATCHES "${expected}" OR NOT err MATCHES "myapp.ini:5: ")
        message(FATAL_ERROR "settings_example (${status}) wrote:\n${out}\n${err}\nexpected: ${expected}")
    endif()
endfunction()
run("^640x600, 0 recent files\n")
file(READ ${WORK_DIR}/myapp/myapp.ini written)
set(expected "[Window]\nWidth=650\nTitle=Zoë's café\n\n[Files]\nRecent=/home/zoë/a.txt;/tmp/b.txt\n")
if(NOT written STREQUAL expected)
    message(FATAL_ERROR "the user's file holds:\n${written}")
endif()
run("^650x600, 2 recent files\n.*\\[Window\\] Title = Zoë's café\n")

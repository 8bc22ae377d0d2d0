# Checks the dynamic symbols of each control library: exactly the four entry points of the C layer, and
# nothing of the component layer's internals (only the control's own C++ API may be exported besides).
foreach(library IN LISTS LIBRARIES)
    execute_process(COMMAND ${NM} -D --defined-only --demangle ${library}
        OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "nm failed on ${library}")
    endif()
    foreach(entry DllRegisterServer DllUnregisterServer DllGetClassObject DllCanUnloadNow)
        if(NOT symbols MATCHES " T ${entry}\n")
            message(FATAL_ERROR "${library} does not export ${entry}")
        endif()
    endforeach()
    string(REGEX MATCHALL "[^\n]*(twc_|Dll[A-Za-z]+|platform::component|platform::registry|::component::)[^\n]*"
        c_layer "${symbols}")
    list(FILTER c_layer EXCLUDE REGEX " T Dll(RegisterServer|UnregisterServer|GetClassObject|CanUnloadNow)$")
    if(c_layer)
        string(REPLACE ";" "\n" c_layer "${c_layer}")
        message(FATAL_ERROR "${library} exports more of the component layer than its entry points:\n${c_layer}")
    endif()
endforeach()

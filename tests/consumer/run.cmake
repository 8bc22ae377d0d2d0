# Installs the build tree into a fresh prefix (or takes PREFIX, where packages were unpacked), then builds
# and runs an outside project against it, once through the CMake packages and once through pkg-config:
# a C++ program of both controls, and a C host that loads the writer's plug-in. The install's system
# registry must name the installed libraries: a fresh install's twhost creates both controls by ProgID
# with no registry of the user's.
#   -DBUILD_DIR= | -DPREFIX=, -DSOURCE_DIR= -DWORK_DIR= -DCXX= -DCC= -DCXX_FLAGS=
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
    endif()
    message(STATUS "${out}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
if(PREFIX)
    set(prefix ${PREFIX})
else()
    set(prefix ${WORK_DIR}/prefix)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endif()

file(READ ${prefix}/share/tarnwick/registry system_registry)
if(PREFIX)
    # Unpacked, not installed: the libraries are named where the packages put them.
    if(NOT system_registry MATCHES "\nPath=/usr/lib[^\n]*/libpenmoor\\.so\\.1\n")
        message(FATAL_ERROR "the packages' system registry does not name /usr/lib.../libpenmoor.so.1:\n"
            "${system_registry}")
    endif()
else()
    set(ENV{TARNWICK_REGISTRY} ${WORK_DIR}/no-registry)
    unset(ENV{TARNWICK_SYSTEM_REGISTRY})
    run(${prefix}/bin/twhost -e "Set w = CreateObject(\"quillset.ini\") : Set r = CreateObject(\"tw_ini.ini\")")
    unset(ENV{TARNWICK_REGISTRY})
endif()

# Every C++ program of the README, each a file of its own, built by the project below and run in a
# directory of its own.
file(READ ${SOURCE_DIR}/../../README.md readme)
# A list of CMake's own is cut at every ";", which C++ is full of: each stands for itself meanwhile.
string(REPLACE ";" "<semicolon>" readme "${readme}")
string(REGEX MATCHALL "```cpp\n[^`]*```" snippets "${readme}")
set(snippet_dir ${WORK_DIR}/readme)
file(MAKE_DIRECTORY ${snippet_dir})
set(count 0)
foreach(snippet IN LISTS snippets)
    math(EXPR count "${count} + 1")
    string(REGEX REPLACE "^```cpp\n" "" snippet "${snippet}")
    string(REGEX REPLACE "```$" "" snippet "${snippet}")
    string(REPLACE "<semicolon>" ";" snippet "${snippet}")
    file(WRITE ${snippet_dir}/readme_${count}.cpp "${snippet}")
endforeach()
if(count LESS 3)
    message(FATAL_ERROR "found ${count} C++ programs in the README, expected at least 3")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/project -B ${WORK_DIR}/build -G Ninja -DCMAKE_PREFIX_PATH=${prefix}
    -DREADME_SNIPPETS=${snippet_dir}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${CC} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_C_FLAGS=${CXX_FLAGS}" -DCMAKE_BUILD_TYPE=Debug)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/cmake.ini)
foreach(n RANGE 1 ${count})
    file(MAKE_DIRECTORY ${snippet_dir}/run_${n})
    execute_process(COMMAND ${WORK_DIR}/build/readme_${n} WORKING_DIRECTORY ${snippet_dir}/run_${n}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "the README's C++ program ${n} failed (${status}):\n${out}\n${err}")
    endif()
endforeach()
file(READ ${WORK_DIR}/build/plugin.txt plugin)
run(${WORK_DIR}/build/c_host ${plugin})

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
    file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
    string(REPLACE ";" ":" pc_path "${pc_dirs}")
    set(ENV{PKG_CONFIG_PATH} "${pc_path}")
    # Packages unpacked elsewhere than their prefix are told where they lie.
    set(relocate "")
    if(PREFIX)
        set(relocate --define-variable=prefix=${prefix})
    endif()
    execute_process(COMMAND ${PKG_CONFIG} ${relocate} --cflags --libs penmoor tw_ini
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    separate_arguments(extra UNIX_COMMAND "${CXX_FLAGS}")
    run(${CXX} -std=c++17 ${extra} ${SOURCE_DIR}/project/main.cpp ${SOURCE_DIR}/project/headers.cpp ${flags} -o ${WORK_DIR}/pc-consumer)
    execute_process(COMMAND ${PKG_CONFIG} ${relocate} --cflags penmoor
        OUTPUT_VARIABLE cflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(cflags UNIX_COMMAND "${cflags}")
    run(${CC} -std=c11 ${extra} ${SOURCE_DIR}/project/host.c ${cflags} -ldl -o ${WORK_DIR}/pc-host)
    file(GLOB lib_dirs ${prefix}/lib ${prefix}/lib64 ${prefix}/lib/*-linux-gnu)
    string(REPLACE ";" ":" lib_path "${lib_dirs}")
    set(ENV{LD_LIBRARY_PATH} "${lib_path}")
    run(${WORK_DIR}/pc-consumer ${WORK_DIR}/pkgconfig.ini)
    run(${WORK_DIR}/pc-host ${plugin})
endif()

# tarnwick_control(<name> SOURCES ... [CORE <core>] GLUE ... PLATFORM <platform libraries> DESCRIPTION <text>)
#
# One control library: its SOURCES compile once into <name>_objects, an object library that the tests
# link with the platform libraries (so that the file-system seam they swap is the one the control
# uses); the shared object <name> (alias <name>::<name>) is made from those objects plus the component
# GLUE (its member table and class description) and the platform's four entry points, which only the
# shared object carries. A CORE made by tarnwick_control_core goes into the shared object whole, and into
# the tests as its archive. Headers are in include/<name>/; install rules and packages come from
# tarnwick_package.
function(tarnwick_control name)
    cmake_parse_arguments(C "" "DESCRIPTION;CORE" "SOURCES;GLUE;PLATFORM" ${ARGN})
    set(interface $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>)

    add_library(${name}_objects OBJECT ${C_SOURCES})
    target_include_directories(${name}_objects PUBLIC ${interface})
    target_link_libraries(${name}_objects PUBLIC ${C_CORE} ${C_PLATFORM})
    tarnwick_warnings(${name}_objects)

    set(core_objects "")
    if(C_CORE)
        set(core_objects $<TARGET_OBJECTS:${C_CORE}_objects>)
    endif()
    add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects> ${core_objects} ${C_GLUE}
        ${PROJECT_SOURCE_DIR}/platform/components/src/plugin_entry.cpp)
    add_library(${name}::${name} ALIAS ${name})
    tarnwick_warnings(${name})
    target_link_libraries(${name} PRIVATE ${C_PLATFORM})
    # The public headers include the platform's value types and control surface, installed beside them.
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/platform/files/include>
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/platform/components/include>)
    target_include_directories(${name} PUBLIC ${interface} $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    # Built as C++20; its public headers need no more than C++17 of those who include them.
    target_compile_features(${name} PRIVATE cxx_std_20 INTERFACE cxx_std_17)
    set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
    set_source_files_properties(${PROJECT_SOURCE_DIR}/platform/components/src/plugin_entry.cpp TARGET_DIRECTORY ${name}
        PROPERTIES COMPILE_DEFINITIONS "TARNWICK_PLUGIN_SONAME=\"$<TARGET_SONAME_FILE_NAME:${name}>\"")

    tarnwick_package(${name} DESCRIPTION "${C_DESCRIPTION}" HEADER_DIR ${CMAKE_CURRENT_SOURCE_DIR}/include/${name})
endfunction()

# tarnwick_control_core(<core> SOURCES ... PLATFORM <platform libraries>)
#
# The part of a control that needs neither its windows nor the component glue: <core>_objects, compiled
# once, and <core>, an archive of them for programs that link the control in (they take only what they
# use). Its own headers (src/) are visible to the control's tests and programs of the tree.
function(tarnwick_control_core core)
    cmake_parse_arguments(C "" "" "SOURCES;PLATFORM" ${ARGN})
    add_library(${core}_objects OBJECT ${C_SOURCES})
    target_include_directories(${core}_objects PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/src>)
    target_link_libraries(${core}_objects PUBLIC ${C_PLATFORM})
    set_target_properties(${core}_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
    tarnwick_warnings(${core}_objects)
    add_library(${core} STATIC $<TARGET_OBJECTS:${core}_objects>)
    target_link_libraries(${core} PUBLIC ${core}_objects)
endfunction()

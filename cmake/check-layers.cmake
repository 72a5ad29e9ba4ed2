# The layers, checked at every build: the core includes only the core; the form
# support library only itself and the core; a window's header is included only in
# its own folder, by the main window, by the program and by the tests.
# cmake -DSOURCE_DIR=<root> -P check-layers.cmake
cmake_minimum_required(VERSION 3.25)
set(core_folders settings series journal session prizes)
set(core_headers "^(settings|series|journal|session|prizes)/|^common/const\\.h$")

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(violations "")
foreach(source IN LISTS sources)
    if(source MATCHES "^(build|bench|cmake)/")
        continue()
    endif()
    string(REGEX MATCH "^[^/]+" folder "${source}")
    file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^#include \"[^\"]+\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
        if(NOT header MATCHES "/")
            continue() # a header beside the file
        endif()
        string(REGEX MATCH "^[^/]+" owner "${header}")
        if(folder IN_LIST core_folders AND NOT header MATCHES "${core_headers}")
            list(APPEND violations "${source}: the core includes ${header}")
        elseif(folder STREQUAL "common" AND NOT owner STREQUAL "common"
               AND NOT header MATCHES "${core_headers}")
            list(APPEND violations "${source}: the form support includes ${header}")
        elseif(header MATCHES "/frm[a-z]+\\.h$" AND NOT owner STREQUAL folder
               AND NOT folder MATCHES "^(main_window|main\\.cpp|tests)$")
            list(APPEND violations "${source}: includes the window header ${header}")
        endif()
    endforeach()
endforeach()
if(violations)
    list(JOIN violations "\n" text)
    message(FATAL_ERROR "Layers crossed:\n${text}")
endif()

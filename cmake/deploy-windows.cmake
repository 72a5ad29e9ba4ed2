# Run by `cmake --install` for a Windows build made on another system, where Qt
# has no windeployqt: puts beside rindell.exe what windeployqt would, the
# `windows` platform plugin, the `windowsvista` style and every DLL that they and
# the program load from Qt's and the compiler's folders. What Windows itself
# provides is left out. With --strip the copies are stripped too.
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(plugins platforms/qwindows.dll styles/qwindowsvistastyle.dll)

set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${RINDELL_OBJDUMP}")
set(modules)
foreach(plugin IN LISTS plugins)
    list(APPEND modules "${RINDELL_QT_PLUGINS}/${plugin}")
endforeach()
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${prefix}/rindell.exe"
    MODULES ${modules}
    DIRECTORIES "${RINDELL_QT_BINS}" ${RINDELL_RUNTIME_DIRS}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR system)

set(copies)
foreach(dll IN LISTS found)
    file(INSTALL "${dll}" DESTINATION "${prefix}")
    get_filename_component(name "${dll}" NAME)
    list(APPEND copies "${prefix}/${name}")
endforeach()
foreach(plugin IN LISTS plugins)
    get_filename_component(folder "${plugin}" DIRECTORY)
    file(INSTALL "${RINDELL_QT_PLUGINS}/${plugin}" DESTINATION "${prefix}/${folder}")
    list(APPEND copies "${prefix}/${plugin}")
endforeach()
# Only Windows' own DLLs may stay unfound: a Qt or compiler DLL missing here
# would stop the program on the operator's machine.
foreach(dll IN LISTS system)
    if(dll MATCHES "^(qt6|lib)")
        message(FATAL_ERROR "${dll}, which rindell.exe needs, is in none of: "
            "${RINDELL_QT_BINS} ${RINDELL_RUNTIME_DIRS}")
    endif()
endforeach()
list(JOIN system " " system)
message(STATUS "Left to Windows: ${system}")

if(CMAKE_INSTALL_DO_STRIP AND RINDELL_STRIP)
    foreach(copy IN LISTS copies)
        execute_process(COMMAND "${RINDELL_STRIP}" --strip-unneeded "${copy}" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()

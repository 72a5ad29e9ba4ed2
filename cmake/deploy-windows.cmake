# Run by `cmake --install` for a Windows build made on another system, where Qt
# has no windeployqt: puts beside rindell.exe what windeployqt would, the
# `windows` platform plugin, the `windowsvista` style and every DLL that they and
# the program load from Qt's and the compiler's folders, followed through the
# import tables. What Windows itself provides is left out. With --strip the
# copies are stripped too. (file(GET_RUNTIME_DEPENDENCIES) looks names up in
# lower case, which a Linux file system does not match.)
cmake_policy(VERSION 3.25)
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(plugins platforms/qwindows.dll styles/qwindowsvistastyle.dll)

# Every DLL at hand, by its name in lower case: Windows ignores the case.
foreach(folder IN LISTS RINDELL_QT_BINS RINDELL_RUNTIME_DIRS)
    file(GLOB dlls "${folder}/*.dll")
    foreach(dll IN LISTS dlls)
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" key)
        if(NOT DEFINED "available_${key}")
            set("available_${key}" "${dll}")
        endif()
    endforeach()
endforeach()

set(queue "${prefix}/rindell.exe")
foreach(plugin IN LISTS plugins)
    list(APPEND queue "${RINDELL_QT_PLUGINS}/${plugin}")
endforeach()
set(needed)
set(system)
while(queue)
    list(POP_FRONT queue file)
    execute_process(COMMAND "${RINDELL_OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump
        COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" name "${import}")
        string(STRIP "${name}" name)
        string(TOLOWER "${name}" key)
        if(DEFINED "available_${key}")
            if(NOT "${available_${key}}" IN_LIST needed)
                list(APPEND needed "${available_${key}}")
                list(APPEND queue "${available_${key}}")
            endif()
        elseif(key MATCHES "^(qt6|lib)")
            # A Qt or compiler DLL missing here would stop the program on the
            # operator's machine.
            message(FATAL_ERROR "${name}, which ${file} needs, is in none of: "
                "${RINDELL_QT_BINS} ${RINDELL_RUNTIME_DIRS}")
        elseif(NOT name IN_LIST system)
            list(APPEND system "${name}")
        endif()
    endforeach()
endwhile()

set(copies)
foreach(dll IN LISTS needed)
    file(INSTALL "${dll}" DESTINATION "${prefix}")
    get_filename_component(name "${dll}" NAME)
    list(APPEND copies "${prefix}/${name}")
endforeach()
foreach(plugin IN LISTS plugins)
    get_filename_component(folder "${plugin}" DIRECTORY)
    file(INSTALL "${RINDELL_QT_PLUGINS}/${plugin}" DESTINATION "${prefix}/${folder}")
    list(APPEND copies "${prefix}/${plugin}")
endforeach()
list(SORT system)
list(JOIN system " " system)
message(STATUS "Left to Windows: ${system}")

if(CMAKE_INSTALL_DO_STRIP AND RINDELL_STRIP)
    foreach(copy IN LISTS copies)
        execute_process(COMMAND "${RINDELL_STRIP}" --strip-unneeded "${copy}"
            COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()

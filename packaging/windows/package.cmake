# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT

# The Windows package, made by `cpack` in the build folder: an NSIS installer and a zip
# of the same files. The program and the DLLs it loads go into bin/, and the licences
# of all of them beside bin/.

# Qt loads these at run time, so no import table names them: the platform plugin,
# without which no window opens, and the Windows style, which draws the dialogs as
# Windows 10 and 11 do. Qt looks for them in platforms/ and styles/ beside the program,
# so it needs no qt.conf. They join the program's dependency set so that the DLLs they
# import come along too. Qt 6.8 no longer defines its plugins' targets unasked, and
# names its Windows style plugin anew.
find_package(Qt6QWindowsIntegrationPlugin REQUIRED PATHS ${Qt6Gui_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_package(Qt6QModernWindowsStylePlugin QUIET PATHS ${Qt6Widgets_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(TARGET Qt6::QModernWindowsStylePlugin)
    set(windows_style_plugin Qt6::QModernWindowsStylePlugin)
else()
    find_package(Qt6QWindowsVistaStylePlugin REQUIRED PATHS ${Qt6Widgets_DIR} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    set(windows_style_plugin Qt6::QWindowsVistaStylePlugin)
endif()
install(IMPORTED_RUNTIME_ARTIFACTS Qt6::QWindowsIntegrationPlugin
        RUNTIME_DEPENDENCY_SET sheafwright_runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(IMPORTED_RUNTIME_ARTIFACTS ${windows_style_plugin}
        RUNTIME_DEPENDENCY_SET sheafwright_runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

# CMake reads a program's imports the way of the system it runs on, unless told.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${CMAKE_OBJDUMP})

# The DLLs are looked for in Qt's bin/ and in the compiler's own folders. Windows's own
# DLLs stay out: on Windows they are found in system32; built elsewhere, they are found
# in Wine's copies, which stay out just the same.
set(qt_dlls ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS})
set(system_dll_folders "[/\\\\][Ss][Yy][Ss][Tt][Ee][Mm]32[/\\\\]")
if(NOT CMAKE_HOST_WIN32)
    find_path(WINDOWS_SYSTEM_DLLS kernel32.dll
              PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
                    /usr/lib/wine/x86_64-windows /opt/wine-stable/lib64/wine/x86_64-windows
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
              DOC "A folder of Windows's own 64-bit DLLs (Wine's), for telling them from the ones to bundle")
    if(NOT WINDOWS_SYSTEM_DLLS)
        message(WARNING "Wine's 64-bit DLLs were not found: installing will name Windows's own DLLs "
                        "as unresolved. Set WINDOWS_SYSTEM_DLLS to their folder.")
    endif()
    string(REGEX REPLACE "([][+.*?()^$|\\\\])" "\\\\\\1" escaped "${WINDOWS_SYSTEM_DLLS}")
    list(APPEND system_dll_folders "^${escaped}/")

    # CMake looks a DLL up by its name in lower case, as Windows would, but on a
    # case-sensitive file system that misses Qt6Core.dll and the like; and it then reads
    # and installs the file by the name it was imported as. So Qt's DLLs are offered
    # under both names, as hard links (copies where the folders lie apart).
    set(qt_dlls_both_cases ${CMAKE_CURRENT_BINARY_DIR}/windows-package/qt-dlls)
    file(REMOVE_RECURSE ${qt_dlls_both_cases})
    file(MAKE_DIRECTORY ${qt_dlls_both_cases})
    file(GLOB dlls ${qt_dlls}/*.dll)
    foreach(dll IN LISTS dlls)
        get_filename_component(name ${dll} NAME)
        string(TOLOWER ${name} lower_case_name)
        foreach(link_name IN LISTS name lower_case_name)
            file(CREATE_LINK ${dll} ${qt_dlls_both_cases}/${link_name} COPY_ON_ERROR)
        endforeach()
    endforeach()
    set(qt_dlls ${qt_dlls_both_cases})
endif()
install(RUNTIME_DEPENDENCY_SET sheafwright_runtime
        DESTINATION ${CMAKE_INSTALL_BINDIR}
        DIRECTORIES ${qt_dlls} ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES} ${WINDOWS_SYSTEM_DLLS}
        # API sets are names for parts of Windows, not files.
        PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
        POST_EXCLUDE_REGEXES ${system_dll_folders})
# Stripped, Qt's and GCC's DLLs take less than half the room: CMake strips what it builds,
# but not what it copies.
string(CONFIGURE [[
    if(CMAKE_INSTALL_DO_STRIP)
        file(GLOB_RECURSE dlls "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/*.dll")
        foreach(dll IN LISTS dlls)
            execute_process(COMMAND "@CMAKE_STRIP@" --strip-unneeded "${dll}" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
]] strip_runtime @ONLY)
install(CODE "${strip_runtime}")

# Text files as Windows programs expect them, with CRLF line ends.
function(install_windows_text source name destination)
    file(READ ${source} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/windows-package/${name} "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/windows-package/${name} DESTINATION ${destination})
endfunction()

# Where the bundled libraries' sources come from: the Debian packages they were taken
# from, with their copyright files.
set(runtime_packages gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev libz-mingw-w64)
find_program(DPKG_QUERY dpkg-query)
foreach(package IN LISTS runtime_packages)
    if(NOT DPKG_QUERY OR NOT EXISTS /usr/share/doc/${package}/copyright)
        message(FATAL_ERROR "The Windows package names the Debian package ${package} as the source of "
                            "DLLs it bundles, and needs it installed.")
    endif()
    execute_process(COMMAND ${DPKG_QUERY} -W
                            "-f=\${Package} \${Version},\\n  built from the source package \${source:Package} \${source:Version}"
                            ${package}
                    OUTPUT_VARIABLE origin OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(MAKE_C_IDENTIFIER "${package}" variable)
    set(${variable}_origin "${origin}")
    install_windows_text(/usr/share/doc/${package}/copyright ${package}-copyright.txt third-party)
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/THIRD-PARTY-NOTICES.txt.in
               ${CMAKE_CURRENT_BINARY_DIR}/windows-package/THIRD-PARTY-NOTICES.unix.txt @ONLY)
install_windows_text(${CMAKE_CURRENT_BINARY_DIR}/windows-package/THIRD-PARTY-NOTICES.unix.txt
                     THIRD-PARTY-NOTICES.txt .)
install_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt .)
install_windows_text(${PROJECT_SOURCE_DIR}/LICENSES/LGPL-3.0-only.txt LGPL-3.0-only.txt third-party)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qtbase-windows-plugin-directwrite-needs-direct2d.patch
              ${CMAKE_CURRENT_LIST_DIR}/qtbase-font-loader-without-direct2d.patch
        DESTINATION third-party)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_VENDOR "Sheafwright contributors")
# The installer's own file properties name the copyright as the program's do.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE CPACK_SHEAFWRIGHT_COPYRIGHT REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
# Names the installer apart from the zip.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-per-generator.cmake)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/windows-package/LICENSE.txt)

# The template is our own: a 64-bit Unicode installer, for every user of the machine or
# for one.
list(PREPEND CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
# As users know it, with the Latin name beside it.
set(CPACK_NSIS_PACKAGE_NAME "텍스트파일 통합프로그램 (${PROJECT_NAME})")
set(CPACK_NSIS_DISPLAY_NAME "텍스트파일 통합프로그램 (${PROJECT_NAME})")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
# The same key for every version, so that a newer one takes the older one's place.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${PROJECT_NAME})
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/sheafwright.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/sheafwright.ico)
# The picture beside the welcome and finish pages, made from the icon.
set(CPACK_SHEAFWRIGHT_SIDE_BITMAP ${PROJECT_SOURCE_DIR}/resources/installer-side.bmp)

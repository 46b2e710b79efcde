# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit Windows with Debian's MinGW-w64, POSIX thread model
# (g++-mingw-w64-x86-64-posix): the win32 model has no std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_AR /usr/bin/${mingw_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${mingw_triplet}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${mingw_triplet}-objdump CACHE FILEPATH "")

# Libraries and headers come from the MinGW root (zlib among them) and from the
# Windows Qt, named in CMAKE_PREFIX_PATH; programs (moc, uic, rcc) from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
foreach(prefix IN LISTS CMAKE_PREFIX_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH "${prefix}")
endforeach()
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

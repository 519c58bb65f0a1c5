# Cross-builds the program for 64-bit Windows on an amd64 Debian machine, with Debian's
# MinGW-w64 (posix threads) and the Windows dependencies that scripts/windows-deps makes ready
# (Qt 6.4 for Windows, OpenSSL, libmosquitto):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/x86_64-w64-mingw32.cmake
# The folder of those dependencies is VELLICOR_WINDOWS_PREFIX, from the command line or the
# environment; without it, scripts/windows-deps is asked for it (and unpacks or builds them).
# ./scripts/build-windows does all of it and makes the zip.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(vellicor_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${vellicor_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${vellicor_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${vellicor_triplet}-windres)

if(NOT VELLICOR_WINDOWS_PREFIX AND DEFINED ENV{VELLICOR_WINDOWS_PREFIX})
    set(VELLICOR_WINDOWS_PREFIX $ENV{VELLICOR_WINDOWS_PREFIX})
endif()
if(NOT VELLICOR_WINDOWS_PREFIX)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../../scripts/windows-deps
        OUTPUT_VARIABLE vellicor_deps_output OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE ".*\n" "" vellicor_deps_output "${vellicor_deps_output}")
    set(VELLICOR_WINDOWS_PREFIX ${vellicor_deps_output})
endif()
set(VELLICOR_WINDOWS_PREFIX ${VELLICOR_WINDOWS_PREFIX} CACHE PATH
    "Qt, OpenSSL and libmosquitto for Windows (scripts/windows-deps)")
# try_compile runs this file again in a project of its own, which gets the prefix from here.
set(ENV{VELLICOR_WINDOWS_PREFIX} ${VELLICOR_WINDOWS_PREFIX})

# MinGW's own headers and libraries, and the dependencies; programs are this machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${vellicor_triplet} ${VELLICOR_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${VELLICOR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# libmosquitto is found through its pkg-config file, the Windows one alone.
set(ENV{PKG_CONFIG_LIBDIR} ${VELLICOR_WINDOWS_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# moc, rcc and uic come from the build machine's Qt, which must be the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

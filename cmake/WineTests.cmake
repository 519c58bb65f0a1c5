# The Windows build's tests run here under Wine: GoogleTest built from Debian's sources with the
# same compiler, and a launcher (wine-run in the build tree) that ctest runs each Windows
# program through, with the Qt and MinGW runtime DLLs on Wine's path and a Wine prefix of the
# build's own.
find_program(VELLICOR_WINE NAMES wine wine64 REQUIRED)
set(VELLICOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (libgtest-dev)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELLICOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its sources are not ours to keep warning-free.
target_compile_options(gtest PRIVATE -w)
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
endif()

# Where the MinGW runtime DLLs lie: the compiler knows.
set(vellicor_runtime_dirs "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    get_filename_component(dir "${path}" DIRECTORY)
    list(APPEND vellicor_runtime_dirs ${dir})
endforeach()
list(REMOVE_DUPLICATES vellicor_runtime_dirs)
set(VELLICOR_MINGW_RUNTIME_DIRS ${vellicor_runtime_dirs} CACHE INTERNAL "")

set(vellicor_wine_path "")
foreach(dir ${VELLICOR_WINDOWS_PREFIX}/bin ${vellicor_runtime_dirs})
    string(APPEND vellicor_wine_path "Z:${dir};")
endforeach()
set(VELLICOR_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
file(CONFIGURE OUTPUT ${VELLICOR_WINE_RUN} CONTENT [[
#!/bin/sh
# Runs a Windows program of this build under Wine: wine-run PROGRAM [ARGUMENTS...]
# The Wine prefix is WINEPREFIX, or the build's own, made on first use.
set -e
export WINEPREFIX="${WINEPREFIX:-@CMAKE_BINARY_DIR@/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEPATH="@vellicor_wine_path@${WINEPATH:-}"
export QT_PLUGIN_PATH="Z:@VELLICOR_WINDOWS_PREFIX@/plugins"
# wineboot returns before its wineserver has written the registry out; the prefix is ready once
# that server has ended.
if [ ! -e "$WINEPREFIX/.vellicor-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    flock "$WINEPREFIX.lock" sh -c '[ -e "$WINEPREFIX/.vellicor-ready" ] ||
        { wineboot -i >/dev/null 2>&1 && wineserver -w && touch "$WINEPREFIX/.vellicor-ready"; }'
fi
exec @VELLICOR_WINE@ "$@"
]] @ONLY)
file(CHMOD ${VELLICOR_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLICOR_WINE_RUN})

# cmake -DBUILD_DIR=<built tree of the program alone> [-DCOMPILER=<MinGW-w64 g++>] -P WindowsCompileCheck.cmake
#
# No Qt for Windows is at hand here, so this is the next best thing to a Windows build: every
# file the program's tree compiles (its compile_commands.json, moc's output and the resources
# included) is compiled again by MinGW-w64 for Windows against the same Qt headers, with
# -fsyntax-only, so that the Windows branches of the sources (Q_OS_WIN follows from the
# compiler's _WIN32) must compile too. Nothing is linked or run. Targets that a Windows build
# would leave out are named in the program's VELLICOR_NOT_ON_WINDOWS property (written to
# not-on-windows.txt in the tree). Fails on any error; the compiler's warnings are shown.
if(NOT BUILD_DIR)
    message(FATAL_ERROR "usage: cmake -DBUILD_DIR=<tree> -P WindowsCompileCheck.cmake")
endif()
get_filename_component(BUILD_DIR "${BUILD_DIR}" ABSOLUTE)
if(NOT COMPILER)
    find_program(COMPILER NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++ REQUIRED)
endif()
find_program(NINJA NAMES ninja ninja-build REQUIRED)

set(database ${BUILD_DIR}/compile_commands.json)
if(NOT EXISTS ${database} OR NOT EXISTS ${BUILD_DIR}/not-on-windows.txt)
    message(FATAL_ERROR "${BUILD_DIR} is not a configured tree of this project")
endif()
file(READ ${database} json)
file(STRINGS ${BUILD_DIR}/not-on-windows.txt excluded_targets)

# What Qt's own CMake files define for a 64-bit MinGW build beside what the compiler does.
set(windows_definitions -DWIN32 -DWIN64 -D_WIN64 -D_ENABLE_EXTENDED_ALIGNED_STORAGE
    -DMINGW_HAS_SECURE_API=1 -DUNICODE -D_UNICODE)

# Quotes one argument for the shell that ninja runs commands with.
function(shell_quote out value)
    string(REPLACE "'" "'\\''" value "${value}")
    string(REPLACE "$" "$$" value "${value}")
    set(${out} "'${value}'" PARENT_SCOPE)
endfunction()

set(work ${BUILD_DIR}/windows-check)
file(MAKE_DIRECTORY ${work})
string(CONCAT ninja_file "rule syntax\n"
    "  command = $cmd -fsyntax-only -MD -MF $out.d -MT $out $in && : > $out\n"
    "  depfile = $out.d\n  deps = gcc\n"
    "  description = Windows: $in\n\n")
set(checked 0)
string(JSON count LENGTH "${json}")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON source GET "${json}" ${i} file)
    string(JSON command ERROR_VARIABLE no_command GET "${json}" ${i} command)
    if(no_command)
        message(FATAL_ERROR "${database}: entry ${i} has no command")
    endif()
    if(NOT source MATCHES "\\.(cpp|cc|cxx|c\\+\\+)$")
        continue()
    endif()

    # The native command, less its compiler, its output and what is for Linux alone.
    separate_arguments(arguments UNIX_COMMAND "${command}")
    list(POP_FRONT arguments)
    set(kept "")
    set(output "")
    set(next_is_output OFF)
    foreach(argument IN LISTS arguments)
        if(next_is_output)
            set(output "${argument}")
            set(next_is_output OFF)
        elseif(argument STREQUAL "-o")
            set(next_is_output ON)
        elseif(argument MATCHES "^-(c|fPIC|fPIE|pie|pthread)$" OR argument STREQUAL source)
        elseif(argument MATCHES "^(.*/mkspecs/)linux-g\\+\\+$")
            list(APPEND kept "${CMAKE_MATCH_1}win32-g++")
        else()
            list(APPEND kept "${argument}")
        endif()
    endforeach()
    set(skip OFF)
    foreach(target IN LISTS excluded_targets)
        if(target AND output MATCHES "(^|/)CMakeFiles/${target}\\.dir/")
            set(skip ON)
        endif()
    endforeach()
    if(skip)
        continue()
    endif()
    if(NOT EXISTS ${source})
        message(FATAL_ERROR "${source} is missing: build ${BUILD_DIR} first (moc writes it)")
    endif()

    set(line "")
    foreach(argument IN ITEMS "${COMPILER}" ${windows_definitions} ${kept})
        shell_quote(quoted "${argument}")
        string(APPEND line " ${quoted}")
    endforeach()
    string(REGEX REPLACE "([ :$])" "$\\1" source_path "${source}")
    string(APPEND ninja_file "build ${checked}.checked: syntax ${source_path}\n  cmd =${line}\n")
    math(EXPR checked "${checked} + 1")
endforeach()
if(checked EQUAL 0)
    message(FATAL_ERROR "${database} names no C++ source to check")
endif()
file(WRITE ${work}/build.ninja.new "${ninja_file}")
# Rewritten only when it changed, so that a second run checks only what changed since.
file(COPY_FILE ${work}/build.ninja.new ${work}/build.ninja ONLY_IF_DIFFERENT)

if(NOT DEFINED JOBS)
    set(JOBS 2)
endif()
message(STATUS "Compiling ${checked} sources of ${BUILD_DIR} for Windows with ${COMPILER}")
execute_process(COMMAND ${NINJA} -C ${work} -k 0 -j ${JOBS} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "The program does not compile for Windows (MinGW-w64), see above")
endif()
message(STATUS "All ${checked} sources compile for Windows")

# cmake -DSOURCES=<files;...> -DSTAMP=<file> -P CheckPortableSources.cmake
# Fails when a file includes a POSIX-only header outside any #if/#ifdef/#ifndef block; an
# include inside one is taken as guarded for its platform.
set(posix_only
    "unistd\\.h" "termios\\.h" "termio\\.h" "pty\\.h" "util\\.h" "libutil\\.h" "fcntl\\.h"
    "poll\\.h" "pthread\\.h" "dlfcn\\.h" "dirent\\.h" "utmp\\.h" "netdb\\.h" "pwd\\.h" "grp\\.h"
    "syslog\\.h" "semaphore\\.h" "spawn\\.h" "strings\\.h" "sys/[^>]*" "linux/[^>]*"
    "asm/[^>]*" "netinet/[^>]*" "arpa/[^>]*")
list(JOIN posix_only "|" posix_pattern)

set(failures 0)
foreach(source IN LISTS SOURCES)
    # One list element per line: characters that CMake lists treat specially are blanked.
    file(READ ${source} text)
    string(REGEX REPLACE "[][;\\]" " " text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(depth 0)
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(line MATCHES "^[ \t]*#[ \t]*if")
            math(EXPR depth "${depth} + 1")
        elseif(line MATCHES "^[ \t]*#[ \t]*endif")
            math(EXPR depth "${depth} - 1")
        elseif(depth EQUAL 0 AND line MATCHES "^[ \t]*#[ \t]*include[ \t]*<(${posix_pattern})>")
            # One finding per line, as printed: a fatal error's text is wrapped at a width that
            # depends on the path's length, which would split file, line and header apart.
            message(NOTICE "${source}:${number}: ${CMAKE_MATCH_1} is not on Windows; "
                "keep it behind a platform guard")
            math(EXPR failures "${failures} + 1")
        endif()
    endforeach()
endforeach()

if(failures GREATER 0)
    message(FATAL_ERROR "${failures} POSIX-only header(s) outside a platform guard, listed above")
endif()
file(TOUCH ${STAMP})

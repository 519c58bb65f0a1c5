# The program itself must build on Windows. A Linux build cannot tell, since every POSIX header
# exists on this system, so the program's sources are scanned for POSIX-only headers included
# outside a preprocessor conditional; the scan runs whenever one of them changes, before the
# program is linked, and fails the build with the file and line.
file(GLOB_RECURSE vellicor_program_sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/device/*.cpp ${CMAKE_SOURCE_DIR}/device/*.h
    ${CMAKE_SOURCE_DIR}/alarms/*.cpp ${CMAKE_SOURCE_DIR}/alarms/*.h
    ${CMAKE_SOURCE_DIR}/mainwindow/*.cpp ${CMAKE_SOURCE_DIR}/mainwindow/*.h
    ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/app/*.h
    ${CMAKE_SOURCE_DIR}/textlog/*.cpp ${CMAKE_SOURCE_DIR}/textlog/*.h
    ${CMAKE_SOURCE_DIR}/graph/*.cpp ${CMAKE_SOURCE_DIR}/graph/*.h
    ${CMAKE_SOURCE_DIR}/history/*.cpp ${CMAKE_SOURCE_DIR}/history/*.h
    ${CMAKE_SOURCE_DIR}/mqtt/*.cpp ${CMAKE_SOURCE_DIR}/mqtt/*.h
    ${CMAKE_SOURCE_DIR}/assets/*.cpp ${CMAKE_SOURCE_DIR}/assets/*.h)
set(vellicor_portable_stamp ${CMAKE_BINARY_DIR}/portable-sources.stamp)
add_custom_command(OUTPUT ${vellicor_portable_stamp}
    COMMAND ${CMAKE_COMMAND} -DSTAMP=${vellicor_portable_stamp}
            "-DSOURCES=${vellicor_program_sources}"
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckPortableSources.cmake
    DEPENDS ${vellicor_program_sources} ${CMAKE_SOURCE_DIR}/cmake/CheckPortableSources.cmake
    COMMENT "Checking the program's sources for POSIX-only headers"
    VERBATIM)
add_custom_target(vellicor_portable_sources DEPENDS ${vellicor_portable_stamp})
add_dependencies(vellicor vellicor_portable_sources)

# On Windows a window program, with no console window behind it, and with the icon and the
# version that Explorer shows.
set_target_properties(vellicor PROPERTIES WIN32_EXECUTABLE ON)
if(WIN32)
    enable_language(RC)
    set(vellicor_ico ${CMAKE_SOURCE_DIR}/packaging/icons/icon.ico)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/vellicor.rc.in
        ${CMAKE_BINARY_DIR}/vellicor.rc @ONLY)
    target_sources(vellicor PRIVATE ${CMAKE_BINARY_DIR}/vellicor.rc)
endif()

# The command line on its own, as it is built for Windows: installed with the
# licence and a README for its users, packed by cpack as
# bmp24to8-cli-<version>-win64.zip, and tested (under Wine when cross-compiled)
# by tools/windows-test.sh.
install(TARGETS bmp24to8-cli RUNTIME DESTINATION .)
# Text files with the line ends that Windows' editors expect.
configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(data/README-windows.txt README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)

if(WIN32)
    # The manifest (long paths, UTF-8) and the version resource.
    enable_language(RC)
    configure_file(cli/windows/bmp24to8-cli.rc.in bmp24to8-cli.rc @ONLY)
    target_sources(bmp24to8-cli PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/bmp24to8-cli.rc)
endif()

if(WIN32)
    # Fails each Win32 call of the writer in turn.
    add_executable(windows-write-faults tests/windows/writefaults.cpp)
    target_link_libraries(windows-write-faults PRIVATE bmp24to8platform)
    target_include_directories(windows-write-faults PRIVATE platform)
endif()

set(CPACK_PACKAGE_NAME bmp24to8-cli)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

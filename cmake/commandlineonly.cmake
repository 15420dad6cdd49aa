# The command line on its own, as it is built for Windows: installed with the
# licence and a README for its users, packed by cpack as
# bmp24to8-cli-<version>-win64.zip, and tested (under Wine when cross-compiled)
# by tools/windows-test.sh.
install(TARGETS bmp24to8-cli RUNTIME DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES data/README-windows.txt DESTINATION . RENAME README.txt)

if(WIN32)
    # Fails each Win32 call of the writer in turn.
    add_executable(windows-write-faults tests/windows/writefaults.cpp)
    target_link_libraries(windows-write-faults PRIVATE bmp24to8platform)
endif()

set(CPACK_PACKAGE_NAME bmp24to8-cli)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

# Installation and packages: on Linux the program and its manual pages, packed
# by CPack into a Debian package; on Windows fegaus.exe with a German read-me,
# packed into a ZIP file.

include(GNUInstallDirs)

# The maker's name and web address are kept once, in the header the program
# itself shows them from.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/app/maker.h fegaus_maker_lines REGEX "^#define FEGAUS_")
string(REGEX REPLACE ".*FEGAUS_MAKER_NAME \"([^\"]*)\".*" "\\1" FEGAUS_MAKER_NAME "${fegaus_maker_lines}")
string(REGEX REPLACE ".*FEGAUS_WEB_ADDRESS \"([^\"]*)\".*" "\\1" FEGAUS_WEB_ADDRESS "${fegaus_maker_lines}")
string(REGEX REPLACE "^[a-z]+://([^/]*).*" "\\1" fegaus_web_host "${FEGAUS_WEB_ADDRESS}")

set(CPACK_PACKAGE_NAME fegaus)
set(CPACK_PACKAGE_VENDOR "${FEGAUS_MAKER_NAME}")
set(CPACK_PACKAGE_CONTACT "${FEGAUS_MAKER_NAME} <info@${fegaus_web_host}>")
set(CPACK_PACKAGE_HOMEPAGE_URL "${FEGAUS_WEB_ADDRESS}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "delete old files, typically logs, by their age in calendar days")
set(CPACK_PACKAGE_DESCRIPTION
"FEGAUS deletes the files that wildcard patterns match once their age in
calendar days reaches a limit (31 days unless given), judged by the last
write or the creation time. A test run lists the same files and deletes
nothing. It never deletes directories, the targets of symbolic links or
read-only files, and never enters subdirectories. Every run prints a German
report; a quiet mode prints only failed deletions, which suits cron jobs and
systemd timers.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    # One folder with the program and its read-me, both at the top.
    configure_file(${PROJECT_SOURCE_DIR}/contrib/windows/LIESMICH.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/contrib/windows/fegaus-taeglich.cmd
                   ${CMAKE_CURRENT_BINARY_DIR}/fegaus-taeglich.cmd @ONLY NEWLINE_STYLE CRLF)
    install(TARGETS fegaus RUNTIME DESTINATION .)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH.txt ${CMAKE_CURRENT_BINARY_DIR}/fegaus-taeglich.cmd
            DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "fegaus-${PROJECT_VERSION}-win64")
else()
    install(TARGETS fegaus RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Manual pages go out compressed, as the system's own do; without gzip as
    # they are, which man reads just as well.
    find_program(FEGAUS_GZIP gzip)
    set(fegaus_manuals "")
    foreach(language IN ITEMS en de)
        if(language STREQUAL "en")
            set(source ${PROJECT_SOURCE_DIR}/man/fegaus.1)
            set(section_dir ${CMAKE_INSTALL_MANDIR}/man1)
        else()
            set(source ${PROJECT_SOURCE_DIR}/man/${language}/fegaus.1)
            set(section_dir ${CMAKE_INSTALL_MANDIR}/${language}/man1)
        endif()
        if(FEGAUS_GZIP)
            set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${language}/fegaus.1)
            # -n leaves name and time out, so the same page gives the same bytes.
            add_custom_command(OUTPUT ${page}.gz
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man/${language}
                COMMAND ${CMAKE_COMMAND} -E copy ${source} ${page}
                COMMAND ${FEGAUS_GZIP} -9 -n -f ${page}
                DEPENDS ${source}
                COMMENT "Compressing the manual page man/${language}/fegaus.1"
                VERBATIM)
            list(APPEND fegaus_manuals ${page}.gz)
            install(FILES ${page}.gz DESTINATION ${section_dir})
        else()
            install(FILES ${source} DESTINATION ${section_dir})
        endif()
    endforeach()
    add_custom_target(fegaus_manuals ALL DEPENDS ${fegaus_manuals})

    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION admin)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${FEGAUS_WEB_ADDRESS}")
    # The libraries the program links are found by dpkg-shlibdeps (dpkg-dev).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)

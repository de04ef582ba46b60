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

# The licence is kept once, in LICENSE; its copyright holder must be the maker
# the program names, so that the two cannot drift apart.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE fegaus_license)
if(NOT fegaus_license MATCHES "\nCopyright \\(c\\) ([0-9, -]+) ([^\n]+)\n")
    message(FATAL_ERROR "LICENSE has no line \"Copyright (c) <years> <holder>\"")
endif()
set(fegaus_copyright_years "${CMAKE_MATCH_1}")
if(NOT CMAKE_MATCH_2 STREQUAL FEGAUS_MAKER_NAME)
    message(FATAL_ERROR "LICENSE names \"${CMAKE_MATCH_2}\" as copyright holder, "
                        "src/app/maker.h \"${FEGAUS_MAKER_NAME}\"")
endif()

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
# Read by cpack before each package: the time every archive records
# (SOURCE_DATE_EPOCH), and the dependencies of a cross-built Debian package.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_project.cmake)
set(CPACK_FEGAUS_SOURCE_DIR ${PROJECT_SOURCE_DIR})
# Directories the installation creates are 755 whatever the umask of the build;
# cpack makes some itself, which cmake/cpack_staged.cmake sets right.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_staged.cmake)

if(WIN32)
    # One folder with the program and its read-me, both at the top.
    configure_file(${PROJECT_SOURCE_DIR}/contrib/windows/LIESMICH.txt
                   ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/contrib/windows/fegaus-taeglich.cmd
                   ${CMAKE_CURRENT_BINARY_DIR}/fegaus-taeglich.cmd @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE
                   ${CMAKE_CURRENT_BINARY_DIR}/LIZENZ.txt @ONLY NEWLINE_STYLE CRLF)
    install(TARGETS fegaus RUNTIME DESTINATION .)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH.txt ${CMAKE_CURRENT_BINARY_DIR}/fegaus-taeglich.cmd
                  ${CMAKE_CURRENT_BINARY_DIR}/LIZENZ.txt
            DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "fegaus-${PROJECT_VERSION}-win64")

    # The same four files as a Windows Installer package, for installing
    # silently on many machines, built with every build where wixl and msibuild
    # (Debian packages wixl and msitools) are found; faketime keeps the
    # package's own time out of it (cmake/msi.cmake).
    find_program(FEGAUS_WIXL wixl)
    find_program(FEGAUS_MSIBUILD msibuild)
    find_program(FEGAUS_FAKETIME faketime)
    if(FEGAUS_WIXL AND FEGAUS_MSIBUILD)
        set(fegaus_msi ${CMAKE_CURRENT_BINARY_DIR}/fegaus-${PROJECT_VERSION}-win64.msi)
        set(fegaus_msi_texts ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH.txt ${CMAKE_CURRENT_BINARY_DIR}/LIZENZ.txt
                             ${CMAKE_CURRENT_BINARY_DIR}/fegaus-taeglich.cmd)
        set(FEGAUS_MSI_SETTINGS ${PROJECT_BINARY_DIR}/msi-settings.cmake) # tests/windows reads it too
        file(GENERATE OUTPUT ${FEGAUS_MSI_SETTINGS} CONTENT
"set(fegaus_source_dir \"${PROJECT_SOURCE_DIR}\")
set(fegaus_msi \"${fegaus_msi}\")
set(fegaus_msi_version \"${PROJECT_VERSION}\")
set(fegaus_msi_files \"$<TARGET_FILE:fegaus>;${fegaus_msi_texts}\")
set(fegaus_maker_name \"${FEGAUS_MAKER_NAME}\")
set(fegaus_web_address \"${FEGAUS_WEB_ADDRESS}\")
set(fegaus_wixl \"${FEGAUS_WIXL}\")
set(fegaus_msibuild \"${FEGAUS_MSIBUILD}\")
set(fegaus_faketime \"${FEGAUS_FAKETIME}\")
")
        add_custom_command(OUTPUT ${fegaus_msi}
            COMMAND ${CMAKE_COMMAND} -DFEGAUS_MSI_SETTINGS=${FEGAUS_MSI_SETTINGS}
                    -P ${PROJECT_SOURCE_DIR}/cmake/msi.cmake
            DEPENDS fegaus ${fegaus_msi_texts} ${FEGAUS_MSI_SETTINGS} ${PROJECT_SOURCE_DIR}/res/fegaus.wxs
                    ${PROJECT_SOURCE_DIR}/res/fegaus.ico ${PROJECT_SOURCE_DIR}/cmake/msi.cmake
                    ${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake
            COMMENT "Building the Windows Installer package fegaus-${PROJECT_VERSION}-win64.msi"
            VERBATIM)
        add_custom_target(fegaus_msi ALL DEPENDS ${fegaus_msi})
    else()
        message(STATUS "wixl or msibuild not found (Debian packages wixl, msitools): no Windows Installer package")
    endif()
else()
    install(TARGETS fegaus RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Manual pages and the changelog go out compressed, as the system's own do;
    # without gzip as they are, which man and a reader manage just as well.
    find_program(FEGAUS_GZIP gzip)
    set(fegaus_compressed "")
    function(fegaus_install_compressed source copy destination)
        if(FEGAUS_GZIP)
            get_filename_component(copy_dir ${copy} DIRECTORY)
            file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${source})
            # -n leaves name and time out, so the same file gives the same bytes.
            add_custom_command(OUTPUT ${copy}.gz
                COMMAND ${CMAKE_COMMAND} -E make_directory ${copy_dir}
                COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                COMMAND ${FEGAUS_GZIP} -9 -n -f ${copy}
                DEPENDS ${source}
                COMMENT "Compressing ${shown}"
                VERBATIM)
            install(FILES ${copy}.gz DESTINATION ${destination})
            set(fegaus_compressed ${fegaus_compressed} ${copy}.gz PARENT_SCOPE)
        else()
            get_filename_component(name ${copy} NAME)
            install(FILES ${source} DESTINATION ${destination} RENAME ${name})
        endif()
    endfunction()

    fegaus_install_compressed(${PROJECT_SOURCE_DIR}/man/fegaus.1
                              ${CMAKE_CURRENT_BINARY_DIR}/man/en/fegaus.1 ${CMAKE_INSTALL_MANDIR}/man1)
    fegaus_install_compressed(${PROJECT_SOURCE_DIR}/man/de/fegaus.1
                              ${CMAKE_CURRENT_BINARY_DIR}/man/de/fegaus.1 ${CMAKE_INSTALL_MANDIR}/de/man1)

    # The documentation a Debian system expects of every package, in
    # share/doc/fegaus: the changelog, and the licence in the machine-readable
    # copyright format, both naming the maker from src/app/maker.h.
    file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/deb/changelog.in fegaus_changelog_top LIMIT_COUNT 1)
    if(NOT fegaus_changelog_top MATCHES "^fegaus \\(${PROJECT_VERSION}\\) ")
        message(FATAL_ERROR "cmake/deb/changelog.in does not begin with version ${PROJECT_VERSION}: "
                            "${fegaus_changelog_top}")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/deb/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/deb/changelog @ONLY)
    fegaus_install_compressed(${CMAKE_CURRENT_BINARY_DIR}/deb/changelog
                              ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog ${CMAKE_INSTALL_DOCDIR})

    # The licence's text after its copyright line, as one field of the
    # copyright file: every line indented by a blank, empty lines as " .".
    string(FIND "${fegaus_license}" "Permission is hereby granted" license_start)
    string(SUBSTRING "${fegaus_license}" ${license_start} -1 fegaus_license_text)
    string(STRIP "${fegaus_license_text}" fegaus_license_text)
    string(REPLACE "\n\n" "\n.\n" fegaus_license_text "${fegaus_license_text}")
    string(REPLACE "\n" "\n " fegaus_license_text " ${fegaus_license_text}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/deb/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/deb/copyright @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/deb/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
    add_custom_target(fegaus_documentation ALL DEPENDS ${fegaus_compressed})

    # The cron and systemd examples, in share/doc/fegaus/examples. They name
    # the program as the package installs it, /usr/bin/fegaus; an installation
    # under another prefix (cmake --install: /usr/local) gets copies naming its
    # own bin directory instead. The prefix is known only when installing, so
    # the copies are made then.
    install(CODE "
        set(fegaus_examples_source \"${PROJECT_SOURCE_DIR}/contrib\")
        set(fegaus_examples_stage \"${CMAKE_CURRENT_BINARY_DIR}/examples\")
        set(fegaus_examples cron/fegaus systemd/fegaus-sweep.service systemd/fegaus-sweep.timer)
        set(fegaus_bindir \"${CMAKE_INSTALL_BINDIR}\")
        set(fegaus_docdir \"${CMAKE_INSTALL_DOCDIR}\")")
    install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/install_examples.cmake)

    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION admin)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${FEGAUS_WEB_ADDRESS}")
    # The libraries the program links are found by dpkg-shlibdeps (dpkg-dev).
    if(NOT CMAKE_CROSSCOMPILING)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    else()
        # For another architecture (the arm64 preset) cpack_project.cmake asks
        # dpkg-shlibdeps itself, in the cross toolchain's library folder.
        execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -q DEB_HOST_ARCH
                        OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        set(CPACK_FEGAUS_CROSS_PROGRAM ${PROJECT_BINARY_DIR}/fegaus)
        set(CPACK_FEGAUS_CROSS_LIBRARIES ${CMAKE_FIND_ROOT_PATH}/lib)
    endif()

    # The same files as an RPM package (cpack -G RPM, needs rpmbuild), for the
    # distributions that install those; the build records the sources' time
    # and no build host, so that it too comes out the same each time.
    set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
    set(CPACK_RPM_PACKAGE_LICENSE MIT)
    set(CPACK_RPM_PACKAGE_GROUP "Applications/System")
    set(CPACK_RPM_PACKAGE_URL "${FEGAUS_WEB_ADDRESS}")
    set(CPACK_RPM_PACKAGE_SUMMARY "Delete old files, typically logs, by their age in calendar days")
    set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    # The folders the system owns stay the system's.
    set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
        /usr/share/man /usr/share/man/man1 /usr/share/man/de /usr/share/man/de/man1)
    # No build-ID links beside the program (the .deb has none either).
    set(CPACK_RPM_SPEC_MORE_DEFINE
"%define packager ${CPACK_PACKAGE_CONTACT}
%define _build_id_links none
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1")
endif()

include(CPack)

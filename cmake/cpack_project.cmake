# Read by cpack before it makes each package (CPACK_PROJECT_CONFIG_FILE).

# Every archive records the sources' time for its files, not the build's; a
# ZIP file records it as a local time, taken in UTC wherever it is built.
set(fegaus_source_dir "${CPACK_FEGAUS_SOURCE_DIR}")
include("${fegaus_source_dir}/cmake/source_date_epoch.cmake")
set(ENV{TZ} UTC0)

# A Debian package for another architecture. dpkg-shlibdeps finds the program's
# libraries in the cross toolchain's tree, in packages such as
# libc6-arm64-cross whose dependency names carry the architecture
# (libc6:arm64); a package of that architecture itself depends on the plain
# names.
if(CPACK_GENERATOR STREQUAL "DEB" AND DEFINED CPACK_FEGAUS_CROSS_PROGRAM)
    set(work "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps")
    file(REMOVE_RECURSE "${work}")
    file(MAKE_DIRECTORY "${work}/debian")
    file(TOUCH "${work}/debian/control")
    set(ENV{DEB_HOST_ARCH} "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
    execute_process(COMMAND dpkg-shlibdeps "-l${CPACK_FEGAUS_CROSS_LIBRARIES}" -O "${CPACK_FEGAUS_CROSS_PROGRAM}"
                    WORKING_DIRECTORY "${work}" RESULT_VARIABLE failed
                    OUTPUT_VARIABLE depends OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_VARIABLE complaints)
    unset(ENV{DEB_HOST_ARCH})
    if(failed OR NOT depends MATCHES "^shlibs:Depends=")
        message(FATAL_ERROR "dpkg-shlibdeps (dpkg-dev) found no dependencies: ${complaints}")
    endif()
    string(REGEX REPLACE "^shlibs:Depends=" "" depends "${depends}")
    string(REPLACE ":${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
endif()

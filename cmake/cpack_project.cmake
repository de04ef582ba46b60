# Read by cpack before it makes each package (CPACK_PROJECT_CONFIG_FILE).

# Every archive records the sources' time for its files, not the build's; a
# ZIP file records it as a local time, taken in UTC wherever it is built.
set(fegaus_source_dir "${CPACK_FEGAUS_SOURCE_DIR}")
include("${fegaus_source_dir}/cmake/source_date_epoch.cmake")
set(ENV{TZ} UTC0)


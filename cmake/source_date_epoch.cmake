# The time every package records for its files, so that the same sources give
# the same bytes whenever they are built: SOURCE_DATE_EPOCH when it is set, else
# the time of the last commit, else (sources without git) the date of the
# changelog's first entry. Included by the scripts cpack and the build run;
# expects fegaus_source_dir and sets the environment variable for the tools
# they start.

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct
                    WORKING_DIRECTORY "${fegaus_source_dir}"
                    OUTPUT_VARIABLE fegaus_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE fegaus_git_failed ERROR_QUIET)
    if(fegaus_git_failed OR NOT fegaus_epoch MATCHES "^[0-9]+$")
        file(STRINGS "${fegaus_source_dir}/cmake/deb/changelog.in" fegaus_trailer REGEX "^ -- " LIMIT_COUNT 1)
        string(REGEX REPLACE "^ -- .*  " "" fegaus_changelog_date "${fegaus_trailer}")
        execute_process(COMMAND date -d "${fegaus_changelog_date}" +%s
                        OUTPUT_VARIABLE fegaus_epoch OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    if(NOT fegaus_epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "no time for the packages: set SOURCE_DATE_EPOCH")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} "${fegaus_epoch}")
endif()

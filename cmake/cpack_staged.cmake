# Run by cpack on the staged files before it packs them (CPACK_PRE_BUILD_SCRIPTS):
# every directory becomes 755, whatever the umask of the build, as a system
# expects its folders and as the same sources must give the same package. The
# files' modes are the install rules' own.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(path IN LISTS staged)
    if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
        file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
    endif()
endforeach()

# Run by cmake --install (and CPack): copies the cron and systemd examples into
# the documentation, each naming the program where this installation puts it.
# Set beforehand: fegaus_examples_source, fegaus_examples_stage, fegaus_examples
# (paths below the source), fegaus_bindir, fegaus_docdir.

set(fegaus_program "${CMAKE_INSTALL_PREFIX}/${fegaus_bindir}/fegaus")
# One staging folder per prefix, so that installations under two prefixes from
# the same build never hand each other their copies.
string(MD5 fegaus_prefix_key "${CMAKE_INSTALL_PREFIX}")
foreach(example IN LISTS fegaus_examples)
    file(READ "${fegaus_examples_source}/${example}" text)
    string(REPLACE "/usr/bin/fegaus" "${fegaus_program}" text "${text}")
    set(copy "${fegaus_examples_stage}/${fegaus_prefix_key}/${example}")
    file(WRITE "${copy}" "${text}")
    get_filename_component(subdir "${example}" DIRECTORY)
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${fegaus_docdir}/examples/${subdir}"
         TYPE FILE FILES "${copy}")
endforeach()

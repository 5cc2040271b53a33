# Run by cpack on the Debian package's staging tree, after the components
# are installed there and before the package is made, so that the files are
# as Debian wants them and make install stays as it is: the man page and
# the changelog compressed with gzip -9n (no name, no time stamp), the
# program stripped and the static library without its debug information,
# both without the .comment and .note sections (as dh_strip leaves them),
# and every directory and the program rwxr-xr-x, every other file rw-r--r--
# (as dh_fixperms leaves them), whatever the umask that cpack ran under.
function(deb_tree_files pattern count out)
  file(GLOB_RECURSE files "${CPACK_TEMPORARY_DIRECTORY}/*")
  list(FILTER files INCLUDE REGEX "${pattern}")
  list(LENGTH files found)
  if(NOT found EQUAL count)
    message(FATAL_ERROR "deb_tree: ${found} files match ${pattern}, not ${count}: ${files}")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(deb_tree_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "deb_tree: ${ARGN} failed: ${status}")
  endif()
endfunction()

deb_tree_files("/${CPACK_TESSEL_MAN_DIR}/man1/tessel\\.1$" 1 man_page)
deb_tree_files("/${CPACK_TESSEL_DOC_DIR}/changelog$" 1 changelog)
foreach(file ${man_page} ${changelog})
  deb_tree_run(gzip -9nf ${file})
endforeach()

set(strip_sections --remove-section=.comment --remove-section=.note)
deb_tree_files("/bin/tessel$" 1 program)
deb_tree_run(${CPACK_TESSEL_STRIP} ${strip_sections} ${program})
deb_tree_files("/${CPACK_TESSEL_LIB_DIR}/libtessel\\.a$" 1 library)
deb_tree_run(${CPACK_TESSEL_STRIP} --strip-debug --enable-deterministic-archives
             ${strip_sections} ${library})

deb_tree_run(chmod -R u=rwX,go=rX ${CPACK_TEMPORARY_DIRECTORY})

# Run by cpack after the packages are made. CPack 3.25 writes the md5sums of
# the -dbgsym packages with the build folder's absolute paths, and gives them
# no doc folder. Both are put right here: md5sums relative to the root, and
# usr/share/doc/<package>-dbgsym pointing at the doc folder of the package
# they belong to and depend on exactly, as Debian's own debug packages do.
set(ddebs ${CPACK_PACKAGE_FILES})
list(FILTER ddebs INCLUDE REGEX "-dbgsym_[^/]*\\.ddeb$")
foreach(ddeb IN LISTS ddebs)
  set(tree "${ddeb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${ddeb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND dpkg-deb -f "${ddeb}" Package OUTPUT_VARIABLE package
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "-dbgsym$" "" owner "${package}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${owner}" "${tree}/usr/share/doc/${package}" SYMBOLIC)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/usr/*")
  list(SORT files)
  set(md5sums "")
  foreach(f IN LISTS files)
    if(NOT IS_SYMLINK "${tree}/${f}")
      file(MD5 "${tree}/${f}" sum)
      string(APPEND md5sums "${sum}  ${f}\n")
    endif()
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${md5sums}")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${ddeb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()

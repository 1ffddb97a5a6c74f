# What Debian wants beside the binaries: a copyright file and a changelog in
# each package's doc folder, the manual page, and quillo's lintian override.
# Compressed with gzip -9n: no file name or time stamp inside, so the same
# sources give the same package.
set(QUILLO_DOCS_DIR ${CMAKE_BINARY_DIR}/packaging)
foreach(doc changelog quillo.1)
  add_custom_command(OUTPUT ${QUILLO_DOCS_DIR}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLO_DOCS_DIR}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/${doc} > ${QUILLO_DOCS_DIR}/${doc}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/${doc})
endforeach()
add_custom_target(quillo_package_docs ALL DEPENDS ${QUILLO_DOCS_DIR}/changelog.gz ${QUILLO_DOCS_DIR}/quillo.1.gz)

foreach(package_component liborvix1:lib quillo:app)
  string(REPLACE ":" ";" pc ${package_component})
  list(GET pc 0 package)
  list(GET pc 1 component)
  install(FILES packaging/copyright ${QUILLO_DOCS_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()
install(FILES ${QUILLO_DOCS_DIR}/quillo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT app)
install(FILES packaging/quillo.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quillo COMPONENT app)

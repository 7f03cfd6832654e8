# The Debian package (scripts/package.sh runs cpack -G DEB): the installed
# files under /usr, stripped, with the run-time dependencies that
# dpkg-shlibdeps finds, the licence as the package's copyright file and a
# compressed changelog.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvel)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc_dir})
find_program(GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR Velkorn)
set(CPACK_PACKAGE_CONTACT "Velkorn <support@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare two FoxPro tables and build a new table from their differences")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quorvel.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The toolkit's X11 platform plugin is a package of its own; the windows use
# Arial or its metric twin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quorvel is for people who keep FoxPro or dBase data. It compares two tables
record by record (a folder of free tables or a database container on each
side), shows every changed field value, every added or deleted record and
every field the second table lacks, saves the differences as a text report,
and builds a new table from the first table plus the differences you tick.
Source tables are only ever opened for reading.
.
The package holds the wizard (quorvel) and the command-line tool
(quorvel-cli), which prints differences as text, JSON Lines or CSV.")
include(CPack)

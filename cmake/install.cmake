# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install build --prefix PREFIX` puts where (GNU layout):
#   bin/vireltan, bin/vireltan-cli                     the two programs
#   share/applications/vireltan.desktop                desktop entry
#   share/icons/hicolor/scalable/apps/vireltan.svg     icon
#   share/metainfo/org.vireltan.Vireltan.metainfo.xml  AppStream metadata
#   share/man/man1/vireltan-cli.1.gz                   manual page
#   share/doc/vireltan/                                user guide, README, licence
# Only the programs and these files: the static libraries, tests and
# benchmarks stay in the build tree.

install(TARGETS vireltan-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET vireltan-gui)
  install(TARGETS vireltan-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/data/vireltan.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/vireltan.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(${PROJECT_SOURCE_DIR}/data/org.vireltan.Vireltan.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/data/org.vireltan.Vireltan.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/data/org.vireltan.Vireltan.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

install(FILES
  ${PROJECT_SOURCE_DIR}/docs/guide.md
  ${PROJECT_SOURCE_DIR}/docs/window-map.png
  ${PROJECT_SOURCE_DIR}/README.md
  ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${VIRELTAN_DOC_DIR})
# The guide's pictures, found relative to it by Help > User guide.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots DESTINATION ${VIRELTAN_DOC_DIR})
# Debian's place for the licence of a package: the copyright file.
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${VIRELTAN_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/examples/seagrass_meadow.txt
  DESTINATION ${VIRELTAN_DOC_DIR}/examples)

# The manual page of vireltan-cli, generated from its --help and --version
# by help2man with the sections of data/vireltan-cli.h2m, so that it never
# drifts from the program. Without help2man the page is left out.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP)
  set(manpage ${CMAKE_BINARY_DIR}/man/vireltan-cli.1)
  add_custom_command(OUTPUT ${manpage}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${HELP2MAN} --no-info --section=1 --source=Vireltan
            --include=${PROJECT_SOURCE_DIR}/data/vireltan-cli.h2m
            --output=${manpage} $<TARGET_FILE:vireltan-cli>
    # The title names the program (--version names the package).
    COMMAND sed -i -e "s/^\\.TH VIRELTAN /.TH VIRELTAN-CLI /" ${manpage}
    COMMAND ${GZIP} -9nf ${manpage}
    DEPENDS vireltan-cli ${PROJECT_SOURCE_DIR}/data/vireltan-cli.h2m
    COMMENT "Manual page vireltan-cli(1) from --help (help2man)"
    VERBATIM)
  add_custom_target(manpage ALL DEPENDS ${manpage}.gz)
  install(FILES ${manpage}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: the manual page of vireltan-cli is not built "
                  "(apt-get install help2man)")
endif()

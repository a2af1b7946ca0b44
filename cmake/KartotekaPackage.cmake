# The installed layout and the Debian package. Under any prefix:
#   bin/kartoteka                    the command and the menu entry's target: makes an empty
#                                    card index at the first start, then starts the program
#   bin/kartoteka-table              the table tool
#   lib/kartoteka/Kartoteka          the program, with its engine plugin beside it (it loads
#   lib/kartoteka/libkartoteka-engine.so   the engine from its own folder)
#   share/kartoteka/fonts.conf       the font mapping (found as ../../share/kartoteka from the program)
#   share/applications, share/icons/hicolor, share/metainfo, share/man (English and ru)
#   share/doc/kartoteka              copyright and changelog (the package's name, lower-case)
# scripts/package builds the package with CPack from a clean build.
include(GNUInstallDirs)
set(KARTOTEKA_PROGRAM_DIR lib/kartoteka)
set(package_sources ${PROJECT_SOURCE_DIR}/resources/package)
set(package_build ${CMAKE_BINARY_DIR}/package)

install(TARGETS kartoteka RUNTIME DESTINATION ${KARTOTEKA_PROGRAM_DIR})
install(TARGETS kartoteka_engine LIBRARY DESTINATION ${KARTOTEKA_PROGRAM_DIR})
install(TARGETS kartoteka-table RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed binaries get the run path $ORIGIN:$ORIGIN/../lib (from
# qt_standard_project_setup). In the build tree CMake would give them an empty
# run path padded with ':' to that length for the install step to rewrite,
# and the loader reads each empty element as the current folder. So they carry
# the installed, $ORIGIN-based path from the start (other build-tree binaries
# have none).
set_target_properties(kartoteka kartoteka_engine kartoteka-table PROPERTIES BUILD_WITH_INSTALL_RPATH ON)

file(RELATIVE_PATH PROGRAM_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${KARTOTEKA_PROGRAM_DIR}/Kartoteka)
configure_file(${package_sources}/kartoteka.sh.in ${package_build}/kartoteka @ONLY)
install(PROGRAMS ${package_build}/kartoteka DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/resources/fonts.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/kartoteka)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kartoteka.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${package_sources}/org.kartoteka.Kartoteka.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kartoteka-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kartoteka.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kartoteka.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the changelog are installed compressed, as Debian has them.
set(compressed)
foreach(page kartoteka.1 kartoteka-table.1 ru/kartoteka.1 ru/kartoteka-table.1)
  set(out ${package_build}/man/${page}.gz)
  get_filename_component(out_dir ${out} DIRECTORY)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page} VERBATIM)
  list(APPEND compressed ${out})
endforeach()
add_custom_command(OUTPUT ${package_build}/changelog.gz
  COMMAND gzip -9n -c ${package_sources}/changelog > ${package_build}/changelog.gz
  DEPENDS ${package_sources}/changelog VERBATIM)
add_custom_target(kartoteka_package_files ALL DEPENDS ${compressed} ${package_build}/changelog.gz)
install(FILES ${package_build}/man/kartoteka.1.gz ${package_build}/man/kartoteka-table.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${package_build}/man/ru/kartoteka.1.gz ${package_build}/man/ru/kartoteka-table.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
install(FILES ${package_sources}/copyright ${package_build}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kartoteka)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kartoteka)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kartoteka developers <kartoteka@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "card index of a psychologist's clients, with questionnaires")
# The long description; CPack puts the summary before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kartoteka is a desktop program with a Russian user interface for a practising
psychologist. It keeps a card index of clients (number, surname, first name,
patronymic, age, marital status and number of children) in a Paradox-format
table, so an existing card index can be used as it is, and offers two scored
questionnaires.

The kartoteka-table command exports the card index to a spreadsheet (CSV),
imports it back, makes verified backups and checks the table.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fonts the program's font mapping names (resources/fonts.conf), and Qt's
# own texts in Russian.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-liberation2, fonts-ebgaramond")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The engine plugin lies outside the linker's paths: no ldconfig calls.
set(CPACK_DEBIAN_GENERATE_POSTINST OFF)
set(CPACK_DEBIAN_GENERATE_POSTRM OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/dist)
include(CPack)

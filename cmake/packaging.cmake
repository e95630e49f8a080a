# Packages users install: a Debian package on Linux (`cpack --preset deb`), a zip on Windows
# (`cpack --preset windows-zip`). Everything comes from the install rules, and the version from
# project().
set(CPACK_PACKAGE_NAME vesk)
set(CPACK_PACKAGE_VENDOR "The Vesk developers")
set(CPACK_PACKAGE_CONTACT "The Vesk developers <vesk@${VESK_MAKER_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find, show and delete Flash Player cookies")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://${VESK_MAKER_HOST}/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Vesk-${PROJECT_VERSION}-windows-x64")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in
                 ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/packaging/LICENSE.txt
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt
                ${CMAKE_CURRENT_BINARY_DIR}/packaging/LICENSE.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Dependencies come from dpkg-shlibdeps; these are only used at run time through other programs.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, xdg-utils")
  # The synopsis is the summary above; this is the long description below it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Vesk finds the Local Shared Objects that the Adobe Flash Player left on
disk for web sites, the .sol files known as Flash cookies, shows what each
one holds and deletes the ones you choose after a Yes/No question.
.
vesk is the window; vesk-cli decodes cookies and lists them as text, JSON
Lines or CSV for scripts.]=])

  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/vesk)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${docdir})
  # Debian wants a compressed changelog; gzip -n keeps the package reproducible.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
                 ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog @ONLY)
  find_program(GZIP gzip REQUIRED)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
                     COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog
                             > ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
                     DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog)
  add_custom_target(vesk_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${docdir})

  # Manual pages go in compressed, as Debian's man expects.
  foreach(page vesk.1 vesk-cli.1)
    if(EXISTS ${PROJECT_SOURCE_DIR}/docs/${page})
      add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.gz
                         COMMAND ${GZIP} -9nc ${PROJECT_SOURCE_DIR}/docs/${page}
                                 > ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.gz
                         DEPENDS ${PROJECT_SOURCE_DIR}/docs/${page})
      list(APPEND manpages ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.gz)
    endif()
  endforeach()
  add_custom_target(vesk_manpages ALL DEPENDS ${manpages})
  install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  configure_file(${PROJECT_SOURCE_DIR}/packaging/vesk.metainfo.xml.in
                 ${CMAKE_CURRENT_BINARY_DIR}/packaging/org.example.vesk.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/org.example.vesk.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

include(CPack)

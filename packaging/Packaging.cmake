# The program installed like a desktop program (cmake --install) and its Debian package
# (make deb, through CPack): the binaries in bin/, and in share/ the program directory
# (skarv-editor: Skarv.rtf, Hjelp/VakoEdit.Hlp and the demo shop), the desktop entry, the
# icon, the file type of NC programs, the AppStream data and the manual pages.
include(GNUInstallDirs)

set(SKARV_APP_ID no.vako.SkarvEditor)
set(SKARV_DATA_DIR ${CMAKE_INSTALL_DATADIR}/skarv-editor)
set(SKARV_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(SKARV_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

# An installed program finds its program directory from where its binary lies.
file(RELATIVE_PATH SKARV_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/skarv-editor)
set_source_files_properties(src/settings/Installation.cpp PROPERTIES
  COMPILE_DEFINITIONS "SKARV_DATA_FROM_BIN=\"${SKARV_DATA_FROM_BIN}\"")
target_compile_definitions(skarv PRIVATE SKARV_VERSION="${PROJECT_VERSION}")
# The binaries' global offset table read-only, as Debian builds its own.
target_link_options(VakoEdit PRIVATE -Wl,-z,relro,-z,now)
target_link_options(skarv PRIVATE -Wl,-z,relro,-z,now)

# The package's version and date come from the newest entry of its changelog.
file(STRINGS ${SKARV_PACKAGING_DIR}/changelog changelog)
list(GET changelog 0 top)
if(NOT top MATCHES "^skarv-editor \\(([^)]+)-([^)-]+)\\)")
  message(FATAL_ERROR "packaging/changelog: no version in its first line")
endif()
set(SKARV_CHANGELOG_VERSION ${CMAKE_MATCH_1})
set(SKARV_DEB_RELEASE ${CMAKE_MATCH_2})
if(NOT SKARV_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(WARNING "packaging/changelog is of version ${SKARV_CHANGELOG_VERSION}, "
          "the program of ${PROJECT_VERSION}: add an entry for the new version")
endif()
foreach(line IN LISTS changelog)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1" OUTPUT_FORMAT DECIMAL)
    if(month LESS 10)
      set(month 0${month})
    endif()
    set(SKARV_RELEASE_DATE ${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1})
    break()
  endif()
endforeach()

# The files made for installing: the AppStream data, the compressed changelog and the manual
# pages, the skarv page's sub-commands from "skarv --help".
configure_file(${SKARV_PACKAGING_DIR}/${SKARV_APP_ID}.metainfo.xml.in
               ${SKARV_PACKAGING_OUT}/${SKARV_APP_ID}.metainfo.xml @ONLY)
configure_file(${SKARV_PACKAGING_DIR}/skarv.1.in ${SKARV_PACKAGING_OUT}/skarv.1.in @ONLY)
configure_file(${SKARV_PACKAGING_DIR}/VakoEdit.1.in ${SKARV_PACKAGING_OUT}/VakoEdit.1 @ONLY)
add_custom_command(
  OUTPUT ${SKARV_PACKAGING_OUT}/skarv.1.gz
  COMMAND ${CMAKE_COMMAND} -DSKARV=$<TARGET_FILE:skarv> -DTEMPLATE=${SKARV_PACKAGING_OUT}/skarv.1.in
          -DCOMMANDS=${SKARV_PACKAGING_DIR}/skarv-commands.txt -DOUT=${SKARV_PACKAGING_OUT}/skarv.1
          -P ${SKARV_PACKAGING_DIR}/ManPage.cmake
  COMMAND gzip -9nf ${SKARV_PACKAGING_OUT}/skarv.1
  DEPENDS skarv ${SKARV_PACKAGING_OUT}/skarv.1.in ${SKARV_PACKAGING_DIR}/skarv-commands.txt
          ${SKARV_PACKAGING_DIR}/ManPage.cmake
  COMMENT "Manualsiden til skarv")
add_custom_command(
  OUTPUT ${SKARV_PACKAGING_OUT}/VakoEdit.1.gz
  COMMAND gzip -9nkf ${SKARV_PACKAGING_OUT}/VakoEdit.1
  DEPENDS ${SKARV_PACKAGING_OUT}/VakoEdit.1)
add_custom_command(
  OUTPUT ${SKARV_PACKAGING_OUT}/changelog.Debian.gz
  COMMAND gzip -9nc ${SKARV_PACKAGING_DIR}/changelog > ${SKARV_PACKAGING_OUT}/changelog.Debian.gz
  DEPENDS ${SKARV_PACKAGING_DIR}/changelog)
add_custom_target(packaging_files ALL DEPENDS ${SKARV_PACKAGING_OUT}/skarv.1.gz
  ${SKARV_PACKAGING_OUT}/VakoEdit.1.gz ${SKARV_PACKAGING_OUT}/changelog.Debian.gz)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS VakoEdit skarv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES examples/shop/Skarv.rtf DESTINATION ${SKARV_DATA_DIR})
install(FILES examples/shop/Hjelp/VakoEdit.Hlp DESTINATION ${SKARV_DATA_DIR}/Hjelp)
install(DIRECTORY examples/shop/ DESTINATION ${SKARV_DATA_DIR}/shop
        PATTERN Skarv.rtf EXCLUDE PATTERN Hjelp EXCLUDE)
install(FILES ${SKARV_PACKAGING_DIR}/${SKARV_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${SKARV_PACKAGING_DIR}/${SKARV_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${SKARV_PACKAGING_DIR}/${SKARV_APP_ID}.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${SKARV_PACKAGING_OUT}/${SKARV_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${SKARV_PACKAGING_OUT}/skarv.1.gz ${SKARV_PACKAGING_OUT}/VakoEdit.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${SKARV_PACKAGING_DIR}/copyright ${SKARV_PACKAGING_OUT}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/skarv-editor)
install(FILES ${SKARV_PACKAGING_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME skarv-editor)

# The Debian package (make deb). Its dependencies are those of the libraries the binaries
# link (dpkg-shlibdeps); the font that stands in for Courier New is recommended. The icon
# cache, the desktop database and the file types are brought up to date by the triggers of
# their own packages, so the package has no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skarv-editor)
set(CPACK_PACKAGE_VENDOR "Skarv-Editor-utviklerne")
set(CPACK_PACKAGE_CONTACT "Skarv-Editor-utviklerne <skarv-editor@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for CNC-programmer")
set(CPACK_PACKAGE_DESCRIPTION
  "Skarv-Editor er verkstedets redigeringsprogram for NC-programmer, ved siden av\n"
  "DNC-systemet som betjener maskinene: omnummerering, komprimering og lufting,\n"
  "tekstformatering, DXF-tegninger til NC- og ESSI-programmer, og overføring til\n"
  "maskinene over serieport, hullbånd, FTP og DNC-tjeneren. Kommandoen skarv gjør\n"
  "det samme i skript.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${SKARV_PACKAGING_DIR}/StripBinaries.cmake)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SKARV_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)

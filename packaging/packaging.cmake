# Installation and packages: on Linux the program, its desktop entry, icons
# and AppStream metadata, and a .deb through CPack; on Windows the .exe and
# the licence, which the zip and the installer are made from.
include(GNUInstallDirs)
if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  set(LINUX_PACKAGING ${CMAKE_SOURCE_DIR}/packaging/linux)
  install(FILES ${LINUX_PACKAGING}/vellumtone.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${LINUX_PACKAGING}/vellumtone.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Rendered once from the SVG by tools/make_icons.sh, so that the build
  # needs no SVG renderer.
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${LINUX_PACKAGING}/vellumtone-${size}.png RENAME vellumtone.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  # The AppStream metadata. Its id is a reverse domain name under the
  # reserved .invalid domain, as the package's contact address is: the
  # validator wants one, and we own no real domain. The desktop entry keeps
  # its plain name, vellumtone.desktop, which is the window's Wayland app_id
  # and X11 WM_CLASS instance; the metadata names it as its launchable.
  set(METAINFO_ID invalid.vellumtone.vellumtone)
  # VERSION's second line is the release's date, YYYY-MM-DD.
  file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION VERSION_LINES LIMIT_COUNT 2)
  list(LENGTH VERSION_LINES VERSION_LINE_COUNT)
  if(VERSION_LINE_COUNT EQUAL 2)
    list(GET VERSION_LINES 1 VELLUMTONE_RELEASE_DATE)
  endif()
  if(NOT VELLUMTONE_RELEASE_DATE MATCHES "^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$")
    message(FATAL_ERROR "VERSION: the second line must be the release date, YYYY-MM-DD")
  endif()
  configure_file(${LINUX_PACKAGING}/vellumtone.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${METAINFO_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${METAINFO_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vellumtone
          RENAME copyright)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vellumtone)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT "Vellumtone developers <developers@vellumtone.invalid>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo analog peak meter for the default capture device")
  set(CPACK_PACKAGE_DESCRIPTION
      "Vellumtone records from the default capture device and shows the peak of each channel as two needle meters, with an overload light.")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libdecor draws the window's frame on GNOME only through a plugin, which
  # its own package merely recommends.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libdecor-0-plugin-1-cairo")
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()

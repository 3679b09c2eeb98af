# Installation and packages: on Linux the program, its desktop entry and
# icons, and a .deb through CPack; on Windows the .exe and the licence, which
# the zip and the installer are made from.
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
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endif()

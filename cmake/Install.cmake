# `cmake --install` (prefix /usr/local unless CMAKE_INSTALL_PREFIX says
# otherwise): the programs into bin/, the shipped data (data/, lines/,
# points/, pics/noimage.jpg, wave.wav) into share/varnesk/, which the
# program copies into $XDG_DATA_HOME/varnesk on its first start, the .desktop
# file and the icon (SVG and PNG sizes) by the XDG conventions, the AppStream
# metadata, and the station's systemd unit (not enabled).
include(GNUInstallDirs)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icons/256x256/apps/io.varnesk.Varnesk.png
  COMMAND make-icons ${CMAKE_BINARY_DIR}/icons
  DEPENDS make-icons VERBATIM)
add_custom_target(icons ALL DEPENDS ${CMAKE_BINARY_DIR}/icons/256x256/apps/io.varnesk.Varnesk.png)

install(TARGETS varnesk varnesk-decode varnesk-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/appdata/ DESTINATION ${CMAKE_INSTALL_DATADIR}/varnesk)
install(FILES ${VARNESK_APP_DIR}/wave.wav DESTINATION ${CMAKE_INSTALL_DATADIR}/varnesk)
install(FILES ${VARNESK_APP_DIR}/pics/noimage.jpg DESTINATION ${CMAKE_INSTALL_DATADIR}/varnesk/pics)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/io.varnesk.Varnesk.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/io.varnesk.Varnesk.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
configure_file(${CMAKE_SOURCE_DIR}/packaging/io.varnesk.Varnesk.metainfo.xml
  ${CMAKE_BINARY_DIR}/packaging/io.varnesk.Varnesk.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/io.varnesk.Varnesk.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# systemd reads units from <prefix>/lib/systemd/system for the prefix /usr.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/varnesk-station.service
  DESTINATION lib/systemd/system)

# The Debian package (scripts/package: cpack -G DEB in build/): everything
# `cmake --install` puts in place, under /usr; the dependencies computed from
# the binaries by dpkg-shlibdeps, plus the plugins Qt loads at run time; a
# postinst that makes the station's system user (the unit stays disabled).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnesk)
set(CPACK_PACKAGE_VENDOR "The Varnesk developers")
set(CPACK_PACKAGE_CONTACT "The Varnesk developers <varnesk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ACARS receiver, decoder and map display")
set(CPACK_PACKAGE_DESCRIPTION "Varnesk receives ACARS, the VHF air-ground datalink of airliners, from a
scanner's audio on the sound card or from an SDR dongle, decodes every
block, shows the traffic as text, plots aircraft and their tracks on a map,
keeps a list of the aircraft heard, watches for aircraft on a search list
(pop-up, sound, log, e-mail), shares received messages with other stations
and feeds them as JSON to aggregators. varnesk-station runs the same
receiver without windows as a system service (varnesk-station.service,
installed but not enabled); varnesk-decode decodes recordings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so no binary names them: the windowing plugins
# and the media backends.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, passwd")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, soapysdr-module-rtlsdr, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "soapysdr-module-airspy, soapysdr-module-hackrf")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
  ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
  ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

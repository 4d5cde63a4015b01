# Installs the build into a fresh temporary prefix and checks the tree: the
# programs run from it, the data and icons are where the desktop looks, and
# the installed .desktop file validates.
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/varnesk bin/varnesk-decode bin/varnesk-station share/metainfo/io.varnesk.Varnesk.metainfo.xml
          lib/systemd/system/varnesk-station.service share/varnesk/data/airport.csv share/varnesk/lines/coastline.dat
          share/varnesk/wave.wav share/varnesk/pics/noimage.jpg share/applications/io.varnesk.Varnesk.desktop
          share/icons/hicolor/scalable/apps/io.varnesk.Varnesk.svg
          share/icons/hicolor/48x48/apps/io.varnesk.Varnesk.png share/icons/hicolor/256x256/apps/io.varnesk.Varnesk.png)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "missing from the installed tree: ${f}")
  endif()
endforeach()
execute_process(COMMAND ${prefix}/bin/varnesk-decode --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out MATCHES "varnesk-decode")
  message(FATAL_ERROR "installed varnesk-decode --help failed (${rc}): ${out}${err}")
endif()
execute_process(COMMAND ${VALIDATE} ${prefix}/share/applications/io.varnesk.Varnesk.desktop RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed .desktop file does not validate")
endif()
file(REMOVE_RECURSE ${prefix})

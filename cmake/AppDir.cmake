# Lays out build/app/: data/, lines/, points/, pics/, logs/, logs/EachLogs/ and
# the alert sound wave.wav and the card's pics/noimage.jpg beside the executables. Files the user may have
# edited in build/app are overwritten only when the shipped copy is newer.
set(_appdata ${CMAKE_SOURCE_DIR}/appdata)
file(GLOB_RECURSE _shipped RELATIVE ${_appdata} CONFIGURE_DEPENDS ${_appdata}/*)
set(_outputs)
foreach(f ${_shipped})
  add_custom_command(OUTPUT ${VARNESK_APP_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_appdata}/${f} ${VARNESK_APP_DIR}/${f}
    DEPENDS ${_appdata}/${f} VERBATIM)
  list(APPEND _outputs ${VARNESK_APP_DIR}/${f})
endforeach()
add_custom_command(OUTPUT ${VARNESK_APP_DIR}/wave.wav
  COMMAND make-alert-wav ${VARNESK_APP_DIR}/wave.wav
  DEPENDS make-alert-wav VERBATIM)
add_custom_command(OUTPUT ${VARNESK_APP_DIR}/pics/noimage.jpg
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNESK_APP_DIR}/pics
  COMMAND make-noimage ${VARNESK_APP_DIR}/pics/noimage.jpg
  DEPENDS make-noimage VERBATIM)
add_custom_target(appdir ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VARNESK_APP_DIR}/data ${VARNESK_APP_DIR}/lines
          ${VARNESK_APP_DIR}/points ${VARNESK_APP_DIR}/pics ${VARNESK_APP_DIR}/logs ${VARNESK_APP_DIR}/logs/EachLogs
  DEPENDS ${_outputs} ${VARNESK_APP_DIR}/wave.wav ${VARNESK_APP_DIR}/pics/noimage.jpg VERBATIM)

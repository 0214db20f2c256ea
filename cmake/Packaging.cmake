# The Debian package (scripts/package.sh): the program, its systemd units,
# desktop entry, icon, manual page and the fleet alert rules. The manual page
# is made by the varn_manpage target only, so a normal build needs no help2man.

include(GNUInstallDirs)

install(TARGETS varn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Relative to the /usr prefix: /usr/lib/systemd/system, where packaged units live.
install(FILES contrib/systemd/varn.service contrib/systemd/varn@.service
        DESTINATION lib/systemd/system)
install(FILES contrib/desktop/varn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES contrib/desktop/varn.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES contrib/prometheus/varn-alerts.yml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varn/examples)

find_program(VARN_HELP2MAN help2man)
if(NOT VARN_HELP2MAN)
  set(VARN_HELP2MAN help2man)  # the target then fails saying so
endif()
set(VARN_MANPAGE ${PROJECT_BINARY_DIR}/man/varn.1.gz)
add_custom_command(
  OUTPUT ${VARN_MANPAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
  COMMAND ${VARN_HELP2MAN} --no-info --name "watches audio lines for faults, logs and archives them"
          --section 1 --include ${PROJECT_SOURCE_DIR}/cmake/varn.h2m
          --output ${PROJECT_BINARY_DIR}/man/varn.1 $<TARGET_FILE:varn>
  # -n: no time stamp in the archive, so the same page packs the same.
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/man/varn.1
  DEPENDS varn ${PROJECT_SOURCE_DIR}/cmake/varn.h2m
  VERBATIM)
add_custom_target(varn_manpage DEPENDS ${VARN_MANPAGE})
install(FILES ${VARN_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(VARN_PACKAGE_MAINTAINER "VarnAudio <packages@varnaudio.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varn)
set(CPACK_PACKAGE_VENDOR VarnAudio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio line monitor with fault detection, event log and archive")
# One paragraph, wrapped: CPack writes each line as a continuation line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "varn watches up to eight audio lines at once beside broadcast and studio"
       "equipment: meters, waveform and spectrum per line, detection of over-level,"
       "silence, clicks and spectrum change, a daily event log and hourly WAV or MP3"
       "archive files. It runs with a window, or headless as a systemd service with"
       "a Prometheus metrics endpoint and event and archive hooks for watching many"
       "machines.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # varn_VERSION_ARCH.deb
# Library packages come from dpkg-shlibdeps; adduser is for the postinst;
# fonts-noto-cjk has the face the window draws with, loaded from its files.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus, rclone")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/contrib/debian/postinst
                                       ${PROJECT_SOURCE_DIR}/contrib/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The Debian package (scripts/package.sh): the program, its systemd units,
# desktop entry, icon, manual page, the fleet alert rules and the drop-in
# for a desktop user's sound server, with the copyright file and changelog
# Debian asks for. The manual page is made by the varn_manpage target only,
# so a normal build needs no help2man.

include(GNUInstallDirs)

install(TARGETS varn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Relative to the /usr prefix: /usr/lib/systemd/system, where packaged units live.
install(FILES contrib/systemd/varn.service contrib/systemd/varn@.service
        DESTINATION lib/systemd/system)
install(FILES contrib/desktop/varn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES contrib/desktop/varn.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES contrib/prometheus/varn-alerts.yml contrib/systemd/varn-user-pulse.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varn/examples)
install(FILES contrib/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varn)
# Only tags that come from how the package is made and published; each says why.
install(FILES contrib/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME varn)

# contrib/debian/changelog says which Debian revision this version is: its
# top entry gives the package its version. A version with no entry yet is
# packaged without a revision, which the package test refuses.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/contrib/debian/changelog)
file(STRINGS ${PROJECT_SOURCE_DIR}/contrib/debian/changelog VARN_CHANGELOG_TOP LIMIT_COUNT 1)
string(REPLACE "." "\\." VARN_VERSION_PATTERN ${PROJECT_VERSION})
if(VARN_CHANGELOG_TOP MATCHES "^varn \\(${VARN_VERSION_PATTERN}-([0-9A-Za-z.+~]+)\\)")
  set(VARN_DEBIAN_REVISION ${CMAKE_MATCH_1})
else()
  message(WARNING "contrib/debian/changelog has no entry for ${PROJECT_VERSION} on top")
  set(VARN_DEBIAN_REVISION "")
endif()
set(VARN_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${VARN_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/contrib/debian/changelog
          ${PROJECT_BINARY_DIR}/debian/changelog.Debian
  # -9n: lintian asks for the best compression and no time stamp.
  COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog.Debian
  DEPENDS ${PROJECT_SOURCE_DIR}/contrib/debian/changelog
  VERBATIM)
add_custom_target(varn_changelog ALL DEPENDS ${VARN_CHANGELOG})
install(FILES ${VARN_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varn)

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
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VARN_DEBIAN_REVISION})
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
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # varn_VERSION-REVISION_ARCH.deb
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

# The Debian package: cpack -G DEB in a Release tree configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package does both). The version is the
# project's, as everywhere else.
set(CPACK_PACKAGE_NAME brindlex)
set(CPACK_PACKAGE_VENDOR "Brindlex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text message counter with quota alerts")
set(CPACK_PACKAGE_DESCRIPTION
  "Brindlex counts the text messages a phone sends and receives, segment by\n"
  "segment, and shows where the monthly allowance stands: totals for the billing\n"
  "period, per person and per month, charts, and the messages left of the\n"
  "quota. The badge daemon keeps the app's icon badge up to date and warns on\n"
  "the desktop when the quota is nearly or wholly used. The messages come from\n"
  "an unencrypted iPhone backup.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Brindlex developers <developers@brindlex.org>")
set(CPACK_GENERATOR DEB)
# Files go to DESTDIR with the real prefix, so what is written at install
# time (the service's ExecStart) names /usr/bin, not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # brindlex_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindlex.org/")
# The libraries' packages, as dpkg-shlibdeps reads them off the programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Docks that show badges and the session bus the daemon needs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libimobiledevice-utils, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

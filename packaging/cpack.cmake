# The Debian package ksx4-assistant_<version>_<arch>.deb: everything the
# install rules put under the prefix, which the package sets to /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ksx4-assistant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tessel)
set(CPACK_PACKAGE_CONTACT ${KSX4_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program for the KSX-4 fieldbus segment tester")
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/debian/description.txt CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES OFF)  # strip.cmake strips them the Debian way
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/strip.cmake)
set(CPACK_KSX4_STRIP ${CMAKE_STRIP})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KSX4_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KSX4_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins and SQL drivers at run time, so no library
# names them: the assistant does not start without a platform plugin, and
# the report archive needs the SQLite driver (the default) and the
# PostgreSQL driver (a team's shared archive). The archive window's charts
# link Qt Charts (named here as well as found by shlibdeps). The printed
# pages are drawn in Arial's metrics, which fonts-liberation2 gives
# fontconfig.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, libqt6sql6-sqlite, libqt6sql6-psql, libqt6charts6, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)

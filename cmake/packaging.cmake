# What `cmake --install` lays out beyond the targets' own rules, and the Debian package of it
# (`cpack -G DEB`, run by ./dev package).
include(CMakePackageConfigHelpers)

set(TARVOCENTEREMP_QT_VERSION 6.4)
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TarvoCenterEmp)
install(EXPORT TarvoCenterEmpTargets NAMESPACE TarvoCenterEmp:: DESTINATION ${cmake_dir})
configure_package_config_file(cmake/TarvoCenterEmpConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfig.cmake
  ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfigVersion.cmake DESTINATION ${cmake_dir})

# The pkg-config file finds the prefix from its own place, so one file serves every prefix.
file(RELATIVE_PATH TARVOCENTEREMP_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/TarvoCenterEmp.pc.in ${CMAKE_BINARY_DIR}/package/TarvoCenterEmp.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/TarvoCenterEmp.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES README.md docs/embedding.md docs/operator-script.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvocenteremp)
install(DIRECTORY examples/embed DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvocenteremp/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvocenteremp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarvo")
set(CPACK_PACKAGE_CONTACT "TarvoCenterEmp developers <centeremp@tarvo.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Centre-employee assignment control for Qt, with its host and reference server")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "An embeddable desktop control with which an operator decides which
employees belong to one centre: two lists, move buttons, a find panel, and a commit that
posts the moves to the server page as SQL statements. The package holds the library
(CenterEmployeeWidget and the component entry points), its headers, CMake package and
pkg-config file, the Qt Designer plugin, centeremp-host (runs the control and operator
scripts) and centeremp-server (the reference server on SQLite or PostgreSQL).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so no library dependency names it: the server's SQLite driver. PostgreSQL
# is reached through libpq, which the server links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-tools-dev, designer-qt6")
# dpkg-shlibdeps resolves the package's own library from the package itself.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# The server's configuration file is the administrator's once installed; the postinst makes the
# service's user; the linker cache is rebuilt by a trigger, as the postinst no longer does it.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/deb/conffiles ${CMAKE_CURRENT_LIST_DIR}/deb/postinst
  ${CMAKE_CURRENT_LIST_DIR}/deb/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

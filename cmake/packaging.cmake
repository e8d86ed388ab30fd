# What `cmake --install` lays out beyond the targets' own rules. The Debian packages are made
# from it by debian/rules (./dev package).
include(CMakePackageConfigHelpers)

set(TARVOCENTEREMP_QT_VERSION 6.4)
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TarvoCenterEmp)
install(EXPORT TarvoCenterEmpTargets NAMESPACE TarvoCenterEmp:: DESTINATION ${cmake_dir})
configure_package_config_file(cmake/TarvoCenterEmpConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfig.cmake INSTALL_DESTINATION ${cmake_dir}
  PATH_VARS TARVOCENTEREMP_TRANSLATIONS_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfig.cmake
  ${CMAKE_BINARY_DIR}/package/TarvoCenterEmpConfigVersion.cmake DESTINATION ${cmake_dir})

# The pkg-config file names the prefix it is installed into, written at install time so that
# `cmake --install --prefix P` gives P's own paths (and /usr gives -I/usr/include, which
# pkg-config leaves out).
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  set(TARVOCENTEREMP_QT_VERSION \"${TARVOCENTEREMP_QT_VERSION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/TarvoCenterEmp.pc.in\"
    \"\$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/TarvoCenterEmp.pc\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${prefix}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/TarvoCenterEmp.pc\")")

# The API documentation, when ./dev docs has made it: the Qt help file and the tag file where
# Qt's own are.
install(FILES ${CMAKE_BINARY_DIR}/docs/tarvocenteremp.qch ${CMAKE_BINARY_DIR}/docs/tarvocenteremp.tags
  DESTINATION ${CMAKE_INSTALL_DATADIR}/qt6/doc OPTIONAL)

# The logging category, for kdebugsettings and anyone who reads QT_LOGGING_RULES' documentation.
install(FILES data/tarvocenteremp.categories DESTINATION ${CMAKE_INSTALL_DATADIR}/qlogging-categories6)
install(FILES README.md docs/embedding.md docs/operator-script.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvocenteremp)
install(DIRECTORY examples/embed DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarvocenteremp/examples)

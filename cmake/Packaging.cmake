# What ships and how: the programs, the window's desktop entry and the README. The SQL Server
# stand-in, the tests and the benchmarks install nothing, so they never reach a package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME devir)
set(CPACK_PACKAGE_VENDOR "devir")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Carries a stock and accounting database on SQL Server over to the next working year")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "devir developers <devir@localhost>")
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  # The ODBC driver manager and FreeTDS's driver reach SQL Server; the window needs Qt 6.
  set(DEVIR_DEB_DEPENDS "libc6, libstdc++6, libodbc2, tdsodbc")
  if(DEVIR_BUILD_GUI)
    string(APPEND DEVIR_DEB_DEPENDS ", libqt6widgets6, libqt6gui6, libqt6core6")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS ${DEVIR_DEB_DEPENDS})
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "unixodbc")
endif()
include(CPack)

# Installing the Linux products: the library with its SONAME, the header, the
# two tools, a CMake package (find_package(w_pclog) -> w_pclog::w_pclog) and a
# pkg-config file, all relative to the prefix so that any prefix works; cpack
# makes a Debian package of the same.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(w_pclog PROPERTIES VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(w_pclog INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS w_pclog EXPORT w_pclogTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(FILES include/w_pclog.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(TARGET pclog AND TARGET pclog-sim)
  install(TARGETS pclog pclog-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

  # The collector as a systemd service, with an example site and its HTTP
  # page. The unit names the installed pclog by its full path, so it is
  # written at install time, when the prefix is known (/usr under cpack).
  set(WPL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/w-pclog)
  install(FILES tools/collect/site.toml DESTINATION ${WPL_DOC_DIR}/examples COMPONENT runtime)
  install(FILES docs/collector-http.md DESTINATION ${WPL_DOC_DIR} COMPONENT runtime)
  install(CODE "
    set(WPL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(WPL_DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${WPL_DOC_DIR}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/tools/collect/pclog-collect.service.in\"
      \"${PROJECT_BINARY_DIR}/install-unit/pclog-collect.service\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\" TYPE FILE
      FILES \"${PROJECT_BINARY_DIR}/install-unit/pclog-collect.service\")
  " COMPONENT runtime)
endif()

set(WPL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/w_pclog)
install(EXPORT w_pclogTargets NAMESPACE w_pclog:: DESTINATION ${WPL_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(cmake/w_pclogConfig.cmake.in
  ${PROJECT_BINARY_DIR}/w_pclogConfig.cmake INSTALL_DESTINATION ${WPL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/w_pclogConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/w_pclogConfig.cmake
  ${PROJECT_BINARY_DIR}/w_pclogConfigVersion.cmake DESTINATION ${WPL_CMAKE_DIR}
  COMPONENT development)

# pkg-config: the prefix is found from the file's own place.
set(WPL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH WPL_PC_TO_PREFIX /prefix/${WPL_PC_DIR} /prefix)
configure_file(cmake/w_pclog.pc.in ${PROJECT_BINARY_DIR}/w_pclog.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/w_pclog.pc DESTINATION ${WPL_PC_DIR} COMPONENT development)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME w-pclog)
set(CPACK_PACKAGE_VENDOR w_pclog)
set(CPACK_PACKAGE_CONTACT "w_pclog maintainers <w_pclog@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Talk to KORVANE time-attendance terminals: library, header, pclog, pclog-sim and the collector service")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_STRIP_FILES ON)
find_program(WPL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(WPL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
endif()
include(CPack)

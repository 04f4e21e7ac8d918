# Debian packages through CPack: in the build folder, `cpack` (or the target `packages`,
# which writes them to <build>/packages) makes
#   vantrell-server_<version>_<arch>.deb   the server, its systemd unit and its flags file
#   vantrell-client_<version>_<arch>.deb   the desktop client, its menu entry and icon
# The install() rules are in app/CMakeLists.txt; the maintainer scripts and the unit in
# packaging/.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrell)
set(CPACK_PACKAGE_VENDOR Vantrell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Vantrell maintainers <maintainers@vantrell.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Depends of each package from the libraries its binaries link (dpkg-shlibdeps,
# from dpkg-dev), plus the ones named below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME vantrell-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
# The postinst makes the system user with adduser.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS postgresql)
set(CPACK_DEBIAN_SERVER_DESCRIPTION "Vantrell server
Serves the Vantrell desktop clients of suppliers and purchasers: accounts,
cooperations, goods and their authorisation, freight, orders and statements.
Keeps its data in SQLite (/var/lib/vantrell) or in a PostgreSQL database that
several server processes share. Runs as the systemd unit vantrell-server with
the flags in /etc/default/vantrell-server.")
set(_vantrell_server_scripts ${CMAKE_CURRENT_LIST_DIR}/debian/server)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${_vantrell_server_scripts}/conffiles ${_vantrell_server_scripts}/postinst
    ${_vantrell_server_scripts}/prerm ${_vantrell_server_scripts}/postrm)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME vantrell-client)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION misc)
# The windows are laid out for this font.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS fonts-wqy-microhei)
set(CPACK_DEBIAN_CLIENT_DESCRIPTION "Vantrell desktop client
The desktop program of the Vantrell supply and distribution network: suppliers
list goods, authorise partners, set freight, ship orders and settle statements;
purchasers apply for cooperation, place orders and reconcile statements.")

set(CPACK_COMPONENTS_ALL server)
if(VANTRELL_WITH_CLIENT)
  list(APPEND CPACK_COMPONENTS_ALL client)
endif()

include(CPack)

set(_vantrell_package_targets vantrell-server)
if(VANTRELL_WITH_CLIENT)
  list(APPEND _vantrell_package_targets vantrell)
endif()
add_custom_target(packages
  COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
          -B ${CMAKE_BINARY_DIR}/packages
  DEPENDS ${_vantrell_package_targets}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Debian packages into ${CMAKE_BINARY_DIR}/packages"
  VERBATIM)

# Builds both packages into a temporary folder and reads them back (dpkg-deb -c / -I);
# nothing is installed. Missing cpack, dpkg-deb or dpkg-shlibdeps fail it. Made from
# the build with the client only: a sanitizer build is no package.
if(VANTRELL_WITH_CLIENT AND NOT VANTRELL_FUZZ)
  add_test(NAME packages
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check-packages.sh ${CMAKE_CPACK_COMMAND}
            ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${PROJECT_VERSION})
  set_tests_properties(packages PROPERTIES LABELS packages TIMEOUT 600)
endif()

# The Debian package built from this tree, installed on the machine, run, and removed (root or sudo).
add_test(NAME package.install_run_remove COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package/install-remove.sh)
set(installed_bin "${PELLMOR_PACKAGE_PREFIX}/${CMAKE_INSTALL_BINDIR}")
set_tests_properties(package.install_run_remove PROPERTIES
  LABELS package
  TIMEOUT 300
  SKIP_RETURN_CODE 77
  ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND};CPACK_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake;VERSION=${PROJECT_VERSION};COMPANION=${installed_bin}/PellmorStatus;PELLMORCTL=${installed_bin}/pellmorctl;DESKTOP=${PELLMOR_PACKAGE_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/pellmor-status/PellmorStatus-desktop;RESOURCES=${PROJECT_SOURCE_DIR}/resources")

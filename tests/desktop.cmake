# The desktop backend: its pure geometry and drawing helpers as unit tests, and the whole companion end to
# end in a virtual X server (Xvfb) with a real system tray (trayer), driven by pellmorctl and xdotool.

# Imported targets are per directory: the backend's Qt link interface needs them here too.
find_package(Qt6 REQUIRED COMPONENTS Widgets DBus)

pellmor_add_test(NAME desktop-geometry-test LABEL unit
  SOURCES desktop/desktop-geometry-test.cpp
  LIBRARIES pellmor_desktop Qt6::Gui)

pellmor_add_test(NAME desktop-dbusmenu-test LABEL unit
  SOURCES desktop/desktop-dbusmenu-test.cpp
  LIBRARIES pellmor_desktop Qt6::DBus)

pellmor_add_test(NAME desktop-host-choice-test LABEL unit
  SOURCES desktop/desktop-host-choice-test.cpp
  LIBRARIES pellmor_display_probe)

set(pellmor_e2e_tests docking titles clicks position tray-restart tray-race termination pixels hidpi no-display
  square-tray tiny-slot host-switch)
foreach(name IN LISTS pellmor_e2e_tests)
  add_test(NAME e2e.${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${name}.sh)
  set_tests_properties(e2e.${name} PROPERTIES
    LABELS e2e
    TIMEOUT 90
    ENVIRONMENT "COMPANION=$<TARGET_FILE:PellmorStatus>;PELLMORCTL=$<TARGET_FILE:pellmorctl>;RESOURCES=${PROJECT_SOURCE_DIR}/resources;SNI_WATCHER=$<TARGET_FILE:sni-test-watcher>")
endforeach()

# The StatusNotifierItem front end end to end: the companion on a private session bus (dbus-daemon), with
# no display, against a watcher and host written in the test on QtDBus.
add_executable(desktop-status-notifier-test desktop/desktop-status-notifier-test.cpp
  support/StatusNotifierWatcher.h)
set_target_properties(desktop-status-notifier-test PROPERTIES AUTOMOC ON)
# Qt's "slots" and "emit" would clash with the core's own names.
target_compile_definitions(desktop-status-notifier-test PRIVATE QT_NO_KEYWORDS
  PELLMOR_STATUS_PATH="$<TARGET_FILE:PellmorStatus>"
  PELLMOR_APP_GROUP_IDENTIFIER="${PELLMOR_APP_GROUP_IDENTIFIER}")
target_link_libraries(desktop-status-notifier-test PRIVATE
  pellmor_test_fakes pellmor_desktop GTest::gtest Qt6::Gui Qt6::DBus pellmor_warnings)
add_dependencies(desktop-status-notifier-test PellmorStatus)
gtest_discover_tests(desktop-status-notifier-test PROPERTIES LABELS e2e TIMEOUT 300 DISCOVERY_TIMEOUT 60)

# The same watcher as a program, for the end-to-end scripts that switch hosts.
add_executable(sni-test-watcher desktop/sni-test-watcher.cpp support/StatusNotifierWatcher.h)
set_target_properties(sni-test-watcher PROPERTIES AUTOMOC ON)
target_include_directories(sni-test-watcher PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(sni-test-watcher PRIVATE Qt6::Gui Qt6::DBus pellmor_warnings)

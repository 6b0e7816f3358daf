# The desktop backend: its pure geometry and drawing helpers as unit tests, and the whole companion end to
# end in a virtual X server (Xvfb) with a real system tray (trayer), driven by pellmorctl and xdotool.

# Imported targets are per directory: the backend's Qt link interface needs them here too.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

pellmor_add_test(NAME desktop-geometry-test LABEL unit
  SOURCES desktop/desktop-geometry-test.cpp
  LIBRARIES pellmor_desktop Qt6::Gui)

set(pellmor_e2e_tests docking titles clicks position tray-restart tray-race termination display-loss pixels hidpi
  no-display square-tray tiny-slot)
foreach(name IN LISTS pellmor_e2e_tests)
  add_test(NAME e2e.${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${name}.sh)
  set_tests_properties(e2e.${name} PROPERTIES
    LABELS e2e
    TIMEOUT 90
    ENVIRONMENT "COMPANION=$<TARGET_FILE:PellmorStatus>;PELLMORCTL=$<TARGET_FILE:pellmorctl>;RESOURCES=${PROJECT_SOURCE_DIR}/resources")
endforeach()

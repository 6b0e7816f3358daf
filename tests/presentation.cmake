# Presentation: the elapsed time label, the status item's content and button style, the controller, the
# position, the shell's delegate and the headless backend.

pellmor_add_test(NAME presentation-elapsed-time LABEL unit SOURCES unit/presentation-elapsed-time.cpp)
pellmor_add_test(NAME presentation-status-item LABEL unit SOURCES unit/presentation-status-item.cpp)
pellmor_add_test(NAME presentation-status-item-manager LABEL unit
  SOURCES unit/presentation-status-item-manager.cpp)
pellmor_add_test(NAME presentation-app-delegate LABEL unit
  SOURCES unit/presentation-app-delegate.cpp ${PROJECT_SOURCE_DIR}/PellmorStatus/AppDelegate.cpp
  LIBRARIES pellmor_shared_instances)

pellmor_add_test(NAME companion-headless-application LABEL integration
  SOURCES integration/companion-headless-application.cpp LIBRARIES pellmor_headless)
pellmor_add_test(NAME companion-end-to-end LABEL integration
  SOURCES integration/companion-end-to-end.cpp LIBRARIES pellmor_headless)

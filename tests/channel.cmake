# The channel: framing, UTF-8, state and protocol (unit); real FIFOs, construction and pellmorctl
# (integration). The integration tests make temporary containers and FIFOs and play the main application.
pellmor_add_test(NAME channel-unit-tests LABEL unit
  SOURCES unit/channel-framing.cpp unit/channel-state.cpp)

pellmor_add_test(NAME channel-transport-tests LABEL integration
  SOURCES integration/channel-transport.cpp)

pellmor_add_test(NAME channel-setup-tests LABEL integration
  SOURCES integration/channel-setup.cpp
  LIBRARIES pellmor_shared_instances pellmor_headless)
target_compile_definitions(channel-setup-tests PRIVATE
  PELLMOR_APP_GROUP_IDENTIFIER="${PELLMOR_APP_GROUP_IDENTIFIER}")

pellmor_add_test(NAME channel-pellmorctl-tests LABEL integration
  SOURCES integration/channel-pellmorctl.cpp)
target_compile_definitions(channel-pellmorctl-tests PRIVATE
  PELLMOR_APP_GROUP_IDENTIFIER="${PELLMOR_APP_GROUP_IDENTIFIER}"
  PELLMOR_CTL_PATH="$<TARGET_FILE:pellmorctl>"
  PELLMOR_VERSION="${PROJECT_VERSION}")
add_dependencies(channel-pellmorctl-tests pellmorctl)

# Runs against the companion process itself (headless: no display is passed on).
add_executable(companion-soak soak/companion-soak.cpp)
target_include_directories(companion-soak PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(companion-soak PRIVATE
  PELLMOR_STATUS_PATH="$<TARGET_FILE:PellmorStatus>"
  PELLMOR_APP_GROUP_IDENTIFIER="${PELLMOR_APP_GROUP_IDENTIFIER}")
target_link_libraries(companion-soak PRIVATE GTest::gtest_main Threads::Threads pellmor_warnings)
add_dependencies(companion-soak PellmorStatus)
gtest_discover_tests(companion-soak PROPERTIES LABELS soak TIMEOUT 300 DISCOVERY_TIMEOUT 60)

# The registry and regsvr; included by this folder's CMakeLists.txt.

# An in-process server whose registration writes one key, for driving regsvr.
add_library(regsvr-test-server SHARED RegsvrTestServer.cpp)
target_link_libraries(regsvr-test-server PRIVATE reelsmith-platform)
set_target_properties(regsvr-test-server PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden)

add_executable(registry-tests RegistryTest.cpp RegsvrTest.cpp)
target_link_libraries(registry-tests PRIVATE reelsmith-platform GTest::gtest_main)
target_compile_definitions(registry-tests PRIVATE
  REGSVR_PATH="$<TARGET_FILE:regsvr>"
  REGSVR_SERVER_PATH="$<TARGET_FILE:regsvr-test-server>"
  PLATFORM_LIBRARY_PATH="$<TARGET_FILE:reelsmith-platform>")
add_dependencies(registry-tests regsvr regsvr-test-server)
gtest_discover_tests(registry-tests DISCOVERY_TIMEOUT 60)

# The registry and regsvr; included by this folder's CMakeLists.txt.

# An in-process server whose registration writes one key, for driving regsvr.
add_library(regsvr-test-server SHARED RegsvrTestServer.cpp)
target_link_libraries(regsvr-test-server PRIVATE reelsmith-base)
set_target_properties(regsvr-test-server PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden)

add_executable(registry-tests RegistryTest.cpp RegsvrTest.cpp)
target_link_libraries(registry-tests PRIVATE reelsmith-base GTest::gtest_main)
target_compile_definitions(registry-tests PRIVATE
  REGSVR_PATH="$<TARGET_FILE:regsvr>"
  REGSVR_SERVER_PATH="$<TARGET_FILE:regsvr-test-server>"
  PLATFORM_LIBRARY_PATH="$<TARGET_FILE:reelsmith-base>")
add_dependencies(registry-tests regsvr regsvr-test-server)
gtest_discover_tests(registry-tests DISCOVERY_TIMEOUT 60)

if(REELSMITH_FUZZ)
  add_executable(registry-text-fuzz RegistryTextFuzz.cpp
    ${PROJECT_SOURCE_DIR}/platform/registry/RegistryText.cpp
    ${PROJECT_SOURCE_DIR}/platform/registry/RegistryTree.cpp
    ${PROJECT_SOURCE_DIR}/platform/base/WideText.cpp)
  target_include_directories(registry-text-fuzz PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(registry-text-fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(registry-text-fuzz PRIVATE -fsanitize=fuzzer)
  # A short deterministic run keeps the suite quick; run it longer by hand.
  add_test(NAME registry-text-fuzz COMMAND registry-text-fuzz -runs=30000 -seed=1
    -dict=${CMAKE_CURRENT_SOURCE_DIR}/registry-text.dict)
  set_tests_properties(registry-text-fuzz PROPERTIES LABELS "unit;fuzz")
endif()

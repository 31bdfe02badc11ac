# The SDL2 platform layer (display, message box) and the demo executable `tarvola`,
# plus the whole-program tests in tests/platform/, which start Xvfb themselves and run alone:
# they watch the real program against the clock.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)

add_library(tarvola_platform STATIC ${TARVOLA_PLATFORM_SOURCES})
target_link_libraries(tarvola_platform PUBLIC tarvola_core PkgConfig::SDL2)

add_executable(tarvola ${PROJECT_SOURCE_DIR}/src/runtime/main.cpp)
target_link_libraries(tarvola PRIVATE tarvola_platform)

file(GLOB TARVOLA_PLATFORM_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform/*.cpp)
if(TARVOLA_TESTS AND TARVOLA_PLATFORM_TEST_SOURCES)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(tarvola_platform_tests ${TARVOLA_PLATFORM_TEST_SOURCES})
  target_link_libraries(tarvola_platform_tests PRIVATE tarvola_platform GTest::gtest GTest::gtest_main)
  add_dependencies(tarvola_platform_tests tarvola)
  target_compile_definitions(tarvola_platform_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                            TARVOLA_DEMO="$<TARGET_FILE:tarvola>")
  gtest_discover_tests(tarvola_platform_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()

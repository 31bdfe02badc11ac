# GoogleTest suites, run by CTest. tests/*.cpp test the core library;
# tests/platform/*.cpp need the SDL layer and are added by cmake/platform.cmake.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB TARVOLA_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*.cpp)
add_executable(tarvola_tests ${TARVOLA_TEST_SOURCES})
target_link_libraries(tarvola_tests PRIVATE tarvola_core GTest::gtest GTest::gtest_main)
target_include_directories(tarvola_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# Tests that read files (ImageMagick round trips, generated data) run in their own scratch directory.
target_compile_definitions(tarvola_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                 TARVOLA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# The data-set tests read <build>/data and run the generator.
if(TARGET data)
  add_dependencies(tarvola_tests data)
endif()
gtest_discover_tests(tarvola_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60)

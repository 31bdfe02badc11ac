# The offline capture renderer `tarvola-capture` (tools/capture): the demo's frame loop on an
# offline host, writing PNG (libpng), WAV and MP4 (through ffmpeg at run time). Its logic is a
# library so the tests and benchmarks can drive it; its tests live in tests/capture/.
if(NOT TARGET PkgConfig::LIBPNG)
  pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
endif()
file(GLOB TARVOLA_CAPTURE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/capture/*.cpp)
list(FILTER TARVOLA_CAPTURE_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(tarvola_capture STATIC ${TARVOLA_CAPTURE_SOURCES})
target_link_libraries(tarvola_capture PUBLIC tarvola_core PkgConfig::LIBPNG)
target_include_directories(tarvola_capture PUBLIC ${PROJECT_SOURCE_DIR}/tools/capture)

add_executable(tarvola-capture ${PROJECT_SOURCE_DIR}/tools/capture/main.cpp)
target_link_libraries(tarvola-capture PRIVATE tarvola_capture)
if(TARGET data)
  add_dependencies(tarvola-capture data)
endif()

if(TARGET tarvola_bench)
  target_link_libraries(tarvola_bench PRIVATE tarvola_capture)
endif()

file(GLOB TARVOLA_CAPTURE_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/capture/*.cpp)
if(TARVOLA_TESTS AND TARVOLA_CAPTURE_TEST_SOURCES)
  add_executable(tarvola_capture_tests ${TARVOLA_CAPTURE_TEST_SOURCES})
  target_link_libraries(tarvola_capture_tests PRIVATE tarvola_capture GTest::gtest GTest::gtest_main)
  target_include_directories(tarvola_capture_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(tarvola_capture_tests tarvola-capture)
  target_compile_definitions(tarvola_capture_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                           TARVOLA_CAPTURE="$<TARGET_FILE:tarvola-capture>")
  gtest_discover_tests(tarvola_capture_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300)
endif()

# Every test suite, run by CTest from the build directory; tests/ mirrors the source folders.
#   tarvola_tests           the core layers, the data-set generator (reads <build>/data) and the
#                           flash meter
#   tarvola_audio_tests     the SDL audio output on SDL's dummy driver; runs alone (real clock)
#   tarvola_platform_tests  the demo and display under a private Xvfb; run alone (real clock)
#   tarvola_capture_tests   the capture renderer, the frame signatures of the whole programme
# With TARVOLA_FUZZ (clang), the libFuzzer targets of the loaders instead: the core then gets
# coverage instrumentation, AddressSanitizer and UndefinedBehaviorSanitizer (scripts/fuzz-smoke.sh).
set(TARVOLA_TESTS_DIR ${PROJECT_SOURCE_DIR}/tests)

if(TARVOLA_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # The module tests read the generated data/kyr.it through libxmp as well, a second loader.
  pkg_check_modules(LIBXMP REQUIRED IMPORTED_TARGET libxmp)

  set(TARVOLA_CORE_TEST_SOURCES ${TARVOLA_TESTS_DIR}/support/test_support.cpp
                                ${TARVOLA_TESTS_DIR}/fuzz/fuzz_regression_test.cpp)
  foreach(folder ${TARVOLA_CORE_LAYERS} tools/datagen tools/flash-report)
    file(GLOB folder_tests CONFIGURE_DEPENDS ${TARVOLA_TESTS_DIR}/${folder}/*_test.cpp)
    list(APPEND TARVOLA_CORE_TEST_SOURCES ${folder_tests})
  endforeach()
  add_executable(tarvola_tests ${TARVOLA_CORE_TEST_SOURCES})
  target_link_libraries(tarvola_tests PRIVATE tarvola_core tarvola_flash_meter PkgConfig::LIBXMP GTest::gtest
                                              GTest::gtest_main)
  target_include_directories(tarvola_tests PRIVATE ${TARVOLA_TESTS_DIR})
  target_compile_definitions(tarvola_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                   TARVOLA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(tarvola_tests data)
  gtest_discover_tests(tarvola_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60)

  add_executable(tarvola_audio_tests ${TARVOLA_TESTS_DIR}/platform/music_player_sdl_test.cpp)
  target_link_libraries(tarvola_audio_tests PRIVATE tarvola_platform GTest::gtest GTest::gtest_main)
  target_include_directories(tarvola_audio_tests PRIVATE ${TARVOLA_TESTS_DIR})
  target_compile_definitions(tarvola_audio_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(tarvola_audio_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES RUN_SERIAL TRUE)

  add_executable(tarvola_platform_tests ${TARVOLA_TESTS_DIR}/platform/demo_xvfb_test.cpp
                                        ${TARVOLA_TESTS_DIR}/platform/display_test.cpp
                                        ${TARVOLA_TESTS_DIR}/platform/empty_data_xvfb_test.cpp)
  target_link_libraries(tarvola_platform_tests PRIVATE tarvola_platform GTest::gtest GTest::gtest_main)
  target_include_directories(tarvola_platform_tests PRIVATE ${TARVOLA_TESTS_DIR})
  add_dependencies(tarvola_platform_tests tarvola)
  target_compile_definitions(tarvola_platform_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                            TARVOLA_DEMO="$<TARGET_FILE:tarvola>")
  gtest_discover_tests(tarvola_platform_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)

  file(GLOB TARVOLA_CAPTURE_TEST_SOURCES CONFIGURE_DEPENDS ${TARVOLA_TESTS_DIR}/tools/capture/*_test.cpp)
  add_executable(tarvola_capture_tests ${TARVOLA_CAPTURE_TEST_SOURCES})
  target_link_libraries(tarvola_capture_tests PRIVATE tarvola_capture GTest::gtest GTest::gtest_main)
  target_include_directories(tarvola_capture_tests PRIVATE ${TARVOLA_TESTS_DIR})
  add_dependencies(tarvola_capture_tests tarvola-capture)
  target_compile_definitions(tarvola_capture_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}"
                                                           TARVOLA_CAPTURE="$<TARGET_FILE:tarvola-capture>")
  gtest_discover_tests(tarvola_capture_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300)
endif()

option(TARVOLA_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(TARVOLA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TARVOLA_FUZZ needs clang (e.g. CXX=clang++-14)")
  endif()
  set(TARVOLA_FUZZ_SANITIZERS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
  target_compile_options(tarvola_core PRIVATE -fsanitize=fuzzer-no-link ${TARVOLA_FUZZ_SANITIZERS}
                                              -fno-omit-frame-pointer -g)
  target_link_options(tarvola_core INTERFACE ${TARVOLA_FUZZ_SANITIZERS})
  foreach(name fuzz_3ds fuzz_module fuzz_tga)
    add_executable(${name} ${TARVOLA_TESTS_DIR}/fuzz/${name}.cpp)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${TARVOLA_FUZZ_SANITIZERS} -fno-omit-frame-pointer -g)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE tarvola_core)
  endforeach()
endif()

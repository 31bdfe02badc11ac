# The music player's SDL audio output (src/runtime/sdl_audio.cpp) is part of the platform layer;
# its tests (a silent run on SDL's dummy driver, WAV streams) need SDL and live in tests/audio/.
if(TARVOLA_TESTS)
  file(GLOB TARVOLA_AUDIO_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/audio/*.cpp)
  add_executable(tarvola_audio_tests ${TARVOLA_AUDIO_TEST_SOURCES})
  target_link_libraries(tarvola_audio_tests PRIVATE tarvola_platform GTest::gtest GTest::gtest_main)
  target_include_directories(tarvola_audio_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(tarvola_audio_tests PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # They time sync events against the real clock: run alone.
  gtest_discover_tests(tarvola_audio_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_TIMEOUT 60
                       PROPERTIES RUN_SERIAL TRUE)
endif()
# The module tests read the generated data/kyr.it through libxmp as well, a second loader.
if(TARVOLA_TESTS)
  pkg_check_modules(LIBXMP REQUIRED IMPORTED_TARGET libxmp)
  target_link_libraries(tarvola_tests PRIVATE PkgConfig::LIBXMP)
  add_dependencies(tarvola_tests data)
endif()
if(TARGET tarvola_bench)
  target_compile_definitions(tarvola_bench PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}")
endif()

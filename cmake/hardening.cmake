# Hardening: the offline whole-programme run used by the sanitizer and damaged-data checks
# (scripts/damaged-data.sh), and the libFuzzer targets for the loaders (tests/fuzz/fuzz_*.cpp),
# built with clang when TARVOLA_FUZZ is on: the core library then gets coverage
# instrumentation, AddressSanitizer and UndefinedBehaviorSanitizer (scripts/fuzz-smoke.sh).
add_executable(tarvola-offline-run ${PROJECT_SOURCE_DIR}/tests/hardening/offline_run.cpp)
target_link_libraries(tarvola-offline-run PRIVATE tarvola_core)
if(TARVOLA_TESTS)
  # The whole programme at one frame a second on the generated data: ends, exit code 0.
  add_test(NAME OfflineRun.WholeProgrammeEndsWithZero
           COMMAND tarvola-offline-run 1 ${CMAKE_BINARY_DIR}/offline_run_frames.txt
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(OfflineRun.WholeProgrammeEndsWithZero PROPERTIES TIMEOUT 120)
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
  file(GLOB TARVOLA_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_*.cpp)
  foreach(source ${TARVOLA_FUZZ_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${TARVOLA_FUZZ_SANITIZERS} -fno-omit-frame-pointer -g)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE tarvola_core)
  endforeach()
endif()

# Hardening: the libFuzzer targets for the loaders (tests/fuzz/fuzz_*.cpp), built with clang
# when TARVOLA_FUZZ is on: the core library then gets coverage instrumentation,
# AddressSanitizer and UndefinedBehaviorSanitizer (scripts/fuzz-smoke.sh). The sanitizer run
# of the whole programme uses the capture renderer (scripts/damaged-data.sh).

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

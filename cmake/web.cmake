# The web build (emcmake cmake): the platform-free core without the libopenmpt player (the page
# plays the music in an AudioWorklet), the page's host `tarvola-web` (.js + .wasm, the data set
# preloaded from TARVOLA_WEB_DATA), `tarvola-web-stepped`, the same run stepped offline in node
# for the tests, and `tarvola-music`, the worklet's music engine. SSE2 intrinsics map to
# WebAssembly SIMD (-msimd128 -msse2).
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()
set(TARVOLA_WEB_DATA "" CACHE PATH "The generated data/ folder to package into the page")
option(TARVOLA_WEB_SIMD "Compile the SSE2 paths to WebAssembly SIMD" ON)

# Float results must not depend on the compiler fusing multiplies and adds. Block copies and
# fills (clearing the picture and the depth buffer each frame) as WebAssembly's own memory.copy
# and memory.fill, which every browser with WebAssembly SIMD also has.
add_compile_options(-Wall -Wextra -Wpedantic -ffp-contract=off -mbulk-memory)
add_link_options(-mbulk-memory)
if(TARVOLA_WEB_SIMD)
  add_compile_options(-msimd128 -msse2)
endif()

# The core without the files that include libopenmpt (only the worklet's engine links it),
# found by content so files may move within the layers.
set(TARVOLA_WEB_CORE_SOURCES ${TARVOLA_CORE_SOURCES})
foreach(source ${TARVOLA_CORE_SOURCES})
  file(STRINGS ${source} native_includes REGEX "#include [<\"](libopenmpt/|SDL)")
  if(native_includes)
    list(REMOVE_ITEM TARVOLA_WEB_CORE_SOURCES ${source})
  endif()
endforeach()
add_library(tarvola_core STATIC ${TARVOLA_WEB_CORE_SOURCES})
target_include_directories(tarvola_core PUBLIC ${PROJECT_SOURCE_DIR}/src)

set(TARVOLA_WEB_DIR ${PROJECT_SOURCE_DIR}/src/platform/web)
add_executable(tarvola-web ${TARVOLA_WEB_DIR}/web_main.cpp ${TARVOLA_WEB_DIR}/web_platform.cpp)
target_link_libraries(tarvola-web PRIVATE tarvola_core)
# Only the frame loop and the host's waiting calls are rewritten for asyncify; the scenes run as
# plain code. Unoptimised builds call main through __original_main; optimised ones inline it and
# runDemo into main before asyncify runs, and then warn that those names matched nothing.
target_link_options(tarvola-web PRIVATE
  -sASYNCIFY -sASYNCIFY_IMPORTS=['emscripten_sleep','webWaitAnimationFrame']
  -sASYNCIFY_ONLY=['main','__original_main','tarvola::runDemo*','tarvola::WebPlatform::present*','tarvola::WebPlatform::pause*','tarvola::WebPlatform::fadeOutMusic*']
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=0 -sALLOW_MEMORY_GROWTH -sINITIAL_MEMORY=64MB
  -sEXPORTED_RUNTIME_METHODS=['callMain'] -sENVIRONMENT=web)
if(TARVOLA_WEB_DATA)
  target_link_options(tarvola-web PRIVATE --preload-file ${TARVOLA_WEB_DATA}@data)
endif()

add_executable(tarvola-web-stepped ${TARVOLA_WEB_DIR}/stepped_main.cpp)
target_link_libraries(tarvola-web-stepped PRIVATE tarvola_core)
# One file: this emscripten would fetch() a separate .wasm, which node 18+ cannot for a path.
target_link_options(tarvola-web-stepped PRIVATE -sSINGLE_FILE -sNODERAWFS -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH
                    -sINITIAL_MEMORY=64MB -sEXIT_RUNTIME=1)

# The music engine for the page's AudioWorklet: src/music with libopenmpt (built from Debian's
# source by scripts/web.sh into TARVOLA_WEB_LIBOPENMPT) and the worklet's processor appended.
# An AudioWorkletGlobalScope has no fetch, importScripts or TextDecoder and loads one script by
# addModule: the wasm goes inside the script and is compiled as it runs (-sSINGLE_FILE,
# -sWASM_ASYNC_COMPILATION=0), with no host services beyond plain JavaScript (-sENVIRONMENT=shell).
set(TARVOLA_WEB_LIBOPENMPT "" CACHE PATH "Prefix of libopenmpt built for WebAssembly (include/, lib/libopenmpt.a)")
if(TARVOLA_WEB_LIBOPENMPT)
  add_executable(tarvola-music ${TARVOLA_WEB_DIR}/worklet_music.cpp ${PROJECT_SOURCE_DIR}/src/music/module_renderer.cpp)
  target_include_directories(tarvola-music PRIVATE ${TARVOLA_WEB_LIBOPENMPT}/include)
  target_link_libraries(tarvola-music PRIVATE tarvola_core ${TARVOLA_WEB_LIBOPENMPT}/lib/libopenmpt.a)
  set(TARVOLA_WORKLET_PRE ${PROJECT_SOURCE_DIR}/web/music_worklet_scope.js)
  set(TARVOLA_WORKLET_POST ${PROJECT_SOURCE_DIR}/web/music_worklet.js)
  target_link_options(tarvola-music PRIVATE --no-entry --pre-js ${TARVOLA_WORKLET_PRE} --post-js ${TARVOLA_WORKLET_POST}
                      -sSINGLE_FILE -sWASM_ASYNC_COMPILATION=0 -sENVIRONMENT=shell -sALLOW_MEMORY_GROWTH
                      -sFILESYSTEM=0 -sEXPORTED_FUNCTIONS=['_malloc','_free'])
  set_property(TARGET tarvola-music APPEND PROPERTY LINK_DEPENDS ${TARVOLA_WORKLET_PRE} ${TARVOLA_WORKLET_POST})
endif()

# The fast kernels' tests compiled to WebAssembly and run in node (scripts/web-test.sh): each
# compares its kernels with the plain reference on every vector path the web build has — the
# plain one, the SSE2 kernels compiled to WebAssembly SIMD and the WebAssembly SIMD kernels.
# GoogleTest is built from the source Debian's googletest package installs.
set(TARVOLA_WEB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source (Debian's googletest package)")
if(EXISTS ${TARVOLA_WEB_GTEST_SOURCE}/googletest/CMakeLists.txt)
  set(gtest_disable_pthreads ON CACHE BOOL "The web build runs single-threaded" FORCE)
  add_subdirectory(${TARVOLA_WEB_GTEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TARVOLA_TESTS_DIR ${PROJECT_SOURCE_DIR}/tests)
  set(TARVOLA_WEB_TEST_SOURCES ${TARVOLA_TESTS_DIR}/support/test_support.cpp)
  foreach(test surface/compositing surface/filters surface/generators surface/ray_grid raster/fillers raster/texel_ops
          raster/triangle_setup engine3d/pipeline metaballs/field metaballs/polygonizer)
    list(APPEND TARVOLA_WEB_TEST_SOURCES ${TARVOLA_TESTS_DIR}/${test}_test.cpp)
  endforeach()
  add_executable(tarvola-web-tests ${TARVOLA_WEB_TEST_SOURCES})
  target_include_directories(tarvola-web-tests PRIVATE ${TARVOLA_TESTS_DIR})
  target_link_libraries(tarvola-web-tests PRIVATE tarvola_core gtest gtest_main)
  target_link_options(tarvola-web-tests PRIVATE -sSINGLE_FILE -sNODERAWFS -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH
                      -sINITIAL_MEMORY=64MB -sEXIT_RUNTIME=1)
endif()

# The data-set generator writes data/ (pictures, mesh, music) into the build directory, where
# the programs built there find it beside themselves. Deterministic: same bytes everywhere, so a
# cross build (which cannot run its own generator) copies the native build's data/.
# The tools' one PNG writer (tools/png), for the generator's contact sheet and the capture's frames.
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
add_library(tarvola_png STATIC ${PROJECT_SOURCE_DIR}/tools/png/png_writer.cpp)
target_link_libraries(tarvola_png PUBLIC PkgConfig::LIBPNG)
target_include_directories(tarvola_png PUBLIC ${PROJECT_SOURCE_DIR}/tools/png)

file(GLOB TARVOLA_DATAGEN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/datagen/*.cpp)
if(TARVOLA_DATAGEN_SOURCES AND NOT CMAKE_CROSSCOMPILING)
  pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
  add_executable(tarvola-datagen ${TARVOLA_DATAGEN_SOURCES})
  target_link_libraries(tarvola-datagen PRIVATE tarvola_core tarvola_png PkgConfig::FREETYPE)
  # Also writes <build>/contact_sheet.png, every picture labelled on one sheet for review.
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/data/.stamp
                     COMMAND tarvola-datagen ${CMAKE_BINARY_DIR}/data
                             --contact-sheet ${CMAKE_BINARY_DIR}/contact_sheet.png
                     COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/data/.stamp
                     DEPENDS tarvola-datagen
                     COMMENT "Generating the data set in ${CMAKE_BINARY_DIR}/data")
  add_custom_target(data ALL DEPENDS ${CMAKE_BINARY_DIR}/data/.stamp)
endif()

# The offline capture renderer `tarvola-capture` (tools/capture): the demo's frame loop on the
# core's offline host, writing PNG (tools/png), WAV and MP4 (through ffmpeg at run time). Its
# logic is a library so the tests and benchmarks can drive it; the operating system's services
# sit behind host_system.h, one file per system.
if(WIN32)
  set(TARVOLA_CAPTURE_HOST ${PROJECT_SOURCE_DIR}/tools/capture/host_system_windows.cpp)
else()
  set(TARVOLA_CAPTURE_HOST ${PROJECT_SOURCE_DIR}/tools/capture/host_system_posix.cpp)
endif()
add_library(tarvola_capture STATIC ${PROJECT_SOURCE_DIR}/tools/capture/capture.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/capture_music.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/capture_options.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/capture_outputs.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/capture_runs.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/capture_sink.cpp
                                   ${PROJECT_SOURCE_DIR}/tools/capture/sync_windows.cpp ${TARVOLA_CAPTURE_HOST})
target_link_libraries(tarvola_capture PUBLIC tarvola_core tarvola_png)
target_include_directories(tarvola_capture PUBLIC ${PROJECT_SOURCE_DIR}/tools/capture)

add_executable(tarvola-capture ${PROJECT_SOURCE_DIR}/tools/capture/main.cpp)
target_link_libraries(tarvola-capture PRIVATE tarvola_capture)
target_compile_definitions(tarvola-capture PRIVATE TARVOLA_VERSION="${PROJECT_VERSION}")
if(TARGET data)
  add_dependencies(tarvola-capture data)
endif()

# The measuring tool tarvola-music-report (tools/music-report): loudness, spectrum, stereo,
# per-instrument levels, novelty at the scene cuts and near-white frames of a capture.
# Built only where libsndfile and FFTW are installed, and not by cross builds;
# scripts/music-report.sh drives it.
if(NOT CMAKE_CROSSCOMPILING)
  pkg_check_modules(SNDFILE IMPORTED_TARGET sndfile)
  pkg_check_modules(FFTW3F IMPORTED_TARGET fftw3f)
endif()
if(SNDFILE_FOUND AND FFTW3F_FOUND)
  add_executable(tarvola-music-report ${PROJECT_SOURCE_DIR}/tools/music-report/music_report.cpp)
  target_link_libraries(tarvola-music-report PRIVATE PkgConfig::SNDFILE PkgConfig::FFTW3F PkgConfig::LIBPNG
                                                     PkgConfig::LIBOPENMPT)
endif()

# The measuring tool tarvola-flash-report (tools/flash-report): general and red flashes of a 60 fps
# PNG capture per 10-degree field against WCAG 2.3.1, per scene slot; scripts/music-report.sh
# runs it on its capture. The meter is a library the tests link.
add_library(tarvola_flash_meter STATIC ${PROJECT_SOURCE_DIR}/tools/flash-report/flash_meter.cpp)
target_include_directories(tarvola_flash_meter PUBLIC ${PROJECT_SOURCE_DIR}/tools/flash-report)
add_executable(tarvola-flash-report ${PROJECT_SOURCE_DIR}/tools/flash-report/main.cpp)
target_link_libraries(tarvola-flash-report PRIVATE tarvola_flash_meter tarvola_capture)

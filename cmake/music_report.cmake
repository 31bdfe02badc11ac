# The measuring tool tarvola-music-report (tools/music-report): loudness, spectrum, stereo,
# per-instrument levels, novelty at the scene cuts and near-white frames of a capture.
# Built only where libsndfile and FFTW are installed; scripts/music-report.sh drives it.
pkg_check_modules(SNDFILE IMPORTED_TARGET sndfile)
pkg_check_modules(FFTW3F IMPORTED_TARGET fftw3f)
if(SNDFILE_FOUND AND FFTW3F_FOUND)
  if(NOT TARGET PkgConfig::LIBPNG)
    pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
  endif()
  add_executable(tarvola-music-report ${PROJECT_SOURCE_DIR}/tools/music-report/music_report.cpp)
  target_link_libraries(tarvola-music-report PRIVATE PkgConfig::SNDFILE PkgConfig::FFTW3F PkgConfig::LIBPNG
                                                     PkgConfig::LIBOPENMPT)
endif()

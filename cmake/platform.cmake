# The SDL2 host (window, audio output, message box) as a library over the core, and the demo
# executable `tarvola` built from its entry point.
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)

add_library(tarvola_platform STATIC ${PROJECT_SOURCE_DIR}/src/platform/sdl/sdl_audio.cpp
                                    ${PROJECT_SOURCE_DIR}/src/platform/sdl/sdl_display.cpp
                                    ${PROJECT_SOURCE_DIR}/src/platform/sdl/sdl_platform.cpp)
target_link_libraries(tarvola_platform PUBLIC tarvola_core PkgConfig::SDL2)

add_executable(tarvola ${PROJECT_SOURCE_DIR}/src/platform/sdl/main.cpp)
target_link_libraries(tarvola PRIVATE tarvola_platform)

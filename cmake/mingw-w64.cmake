# CMake toolchain for Windows x64 with Debian's mingw-w64 cross compilers (posix thread model,
# so std::thread and std::mutex work), used by scripts/windows.sh for SDL2 and for the demo.
# Libraries and headers are searched only in the mingw-w64 root and CMAKE_PREFIX_PATH (the
# libraries scripts/windows.sh builds); programs such as pkg-config come from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib CACHE FILEPATH "ranlib")

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Reproducible objects: the source and build folders are written as "." and "build" wherever a
# path reaches an object (__FILE__, debug information).
# Aligned vector moves are assembled as unaligned ones: Windows keeps the stack only 16-byte
# aligned, and a GCC for Windows may spill a 32- or 64-byte AVX register there with an aligned
# move, which faults (a long-standing GCC fault). Debian's mingw-w64 GCC is patched to emit
# unaligned moves already; this keeps any other GCC safe too, at no cost on processors with AVX.
set(CMAKE_C_FLAGS_INIT "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build \
-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
# Executables need no mingw DLL (libstdc++, libgcc, winpthread are linked in) and carry no link
# time stamp, so that two builds of one commit are the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
# Release executables are stripped by the linker: strip run afterwards would stamp the time of
# day into the header.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

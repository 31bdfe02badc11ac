#!/usr/bin/env bash
# ThreadSanitizer run of the real-time music path: builds the test executables with clang and
# -fsanitize=thread in build-tsan/ and runs the music stream tests and the SDL audio tests on
# SDL's dummy driver (the player's fade and its syncs delivered from the audio thread while the
# test reads them). Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
cc="$(command -v clang-14 || command -v clang)"
cxx="$(command -v clang++-14 || command -v clang++)"
flags="-fsanitize=thread -g -O1 -fno-omit-frame-pointer"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DTARVOLA_BENCH=OFF >/dev/null
cmake --build build-tsan -j2 --target tarvola_tests tarvola_audio_tests data
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
export SDL_AUDIODRIVER=dummy
cd build-tsan
./tarvola_tests --gtest_filter='MusicStream*'
./tarvola_audio_tests
echo "tsan-music: no ThreadSanitizer report"

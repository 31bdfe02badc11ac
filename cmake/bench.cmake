# Google Benchmark: kernels and whole scenes on 320x240, with a memcpy of the same bytes as yardstick.
find_package(benchmark REQUIRED)
file(GLOB TARVOLA_BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
add_executable(tarvola_bench ${TARVOLA_BENCH_SOURCES})
target_link_libraries(tarvola_bench PRIVATE tarvola_core tarvola_capture benchmark::benchmark
                                            benchmark::benchmark_main)
target_compile_definitions(tarvola_bench PRIVATE TARVOLA_BINARY_DIR="${CMAKE_BINARY_DIR}")

# Eight hours of polling on the manual clock: how fast, and how flat the heap.
add_executable(bench_longrun ${CMAKE_CURRENT_SOURCE_DIR}/longrun_bench.cpp)
target_link_libraries(bench_longrun PRIVATE orvan_hardening)

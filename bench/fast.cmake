orvan_bench(bench_fast SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fast_bench.cpp
            LIBS orvan_features orvan_link orvan_boardsim)

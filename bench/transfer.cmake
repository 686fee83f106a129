orvan_bench(bench_transfer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/transfer_bench.cpp
            LIBS orvan_features orvan_link orvan_boardsim)

orvan_bench(bench_net SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/net_bench.cpp
            LIBS orvan_features orvan_link orvan_boardsim)

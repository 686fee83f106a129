orvan_bench(bench_history SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/history_bench.cpp
            LIBS orvan_features)

orvan_bench(bench_link SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_bench.cpp LIBS orvan_link orvan_boardsim)

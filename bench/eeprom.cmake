orvan_bench(bench_eeprom SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/eeprom_bench.cpp
            LIBS orvan_features orvan_link orvan_boardsim)

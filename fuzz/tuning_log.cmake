# The tuning-log decoding and its ".log" text.
orvan_fuzz(fuzz_tuning_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/TuningLogFuzz.cpp LIBS orvan_features)

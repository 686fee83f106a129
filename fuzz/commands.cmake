orvan_fuzz(fuzz_process_answer SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/commands_fuzz.cpp LIBS orvan_features)

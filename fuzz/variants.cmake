orvan_fuzz(fuzz_variant_texts SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/variants_fuzz.cpp LIBS orvan_features)

orvan_fuzz(fuzz_link_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_decode.cpp LIBS orvan_link)
orvan_fuzz(fuzz_link_engine SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_engine.cpp LIBS orvan_testsupport)

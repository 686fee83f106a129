orvan_fuzz(fuzz_link_decode SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_decode.cpp LIBS orvan_link)
orvan_fuzz(fuzz_link_engine SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/link_engine.cpp LIBS orvan_testsupport)
# What a serial device server sends in RFC 2217 mode, and typed addresses.
orvan_fuzz(fuzz_telnet SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/telnet_fuzz.cpp LIBS orvan_link)

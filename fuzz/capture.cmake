orvan_fuzz(fuzz_capture_parse SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/capture_parse.cpp
           LIBS orvan_boardsim orvan_commands)

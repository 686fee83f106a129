# Files a technician hands the program: naming files, dump files (and the
# kind guard that looks into any file), the settings file; and every long
# sequence of the core with the board's answers taken from the input.
orvan_fuzz(fuzz_naming SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_fuzz.cpp LIBS orvan_features)
target_compile_definitions(fuzz_naming PRIVATE ORVAN_FUZZ_FILE_KIND=1)
orvan_fuzz(fuzz_dump_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_fuzz.cpp LIBS orvan_features)
target_compile_definitions(fuzz_dump_file PRIVATE ORVAN_FUZZ_FILE_KIND=2)
# The settings reader is the window's, but free of Qt: built here from its source.
orvan_fuzz(fuzz_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_fuzz.cpp
           ${PROJECT_SOURCE_DIR}/src/app/Config.cpp LIBS orvan_config)
target_include_directories(fuzz_settings PRIVATE ${PROJECT_SOURCE_DIR}/src)
orvan_fuzz(fuzz_sequences SOURCES ${CMAKE_CURRENT_LIST_DIR}/sequences_fuzz.cpp
           LIBS orvan_features orvan_boardsim)

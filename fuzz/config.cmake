# The INI reader and the welder configuration file loader.
orvan_fuzz(fuzz_config_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/ConfigIniFuzz.cpp LIBS orvan_config)

# The service report's text from outside (board answers, sections, adapters).
orvan_fuzz(fuzz_service_report SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/report_fuzz.cpp LIBS orvan_features)

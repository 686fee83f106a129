# The event-log decoding and its command-line forms.
orvan_fuzz(fuzz_event_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/EventLogFuzz.cpp LIBS orvan_features)

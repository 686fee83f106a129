# The window: appending to a long traffic log, and start to first exchange.
if(ORVAN_GUI)
  orvan_bench(bench_window_log SOURCES ${CMAKE_CURRENT_LIST_DIR}/window/LogAppendBench.cpp LIBS orvan_pages)
  orvan_bench(bench_window_start SOURCES ${CMAKE_CURRENT_LIST_DIR}/window/StartBench.cpp
              LIBS orvan_app orvan_boardsim)
endif()
if(ORVAN_GUI)
  orvan_bench(bench_window_status SOURCES ${CMAKE_CURRENT_LIST_DIR}/window/StatusCpuBench.cpp
              LIBS orvan_app orvan_boardsim)
endif()

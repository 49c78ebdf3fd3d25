kvo_bench(bench_linkwatch_tick SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/linkwatch_tick_bench.cpp
    LIBS linkwatchcore connecttraffic)

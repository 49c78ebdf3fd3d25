kvo_bench(bench_sms_store SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_store_bench.cpp LIBS telmiosms)

kvo_bench(bench_sms_store SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sms_store_bench.cpp LIBS telmiosms)
if(TARGET kvophonesim)
    kvo_bench(bench_telmio_sync SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/telmio_sync_bench.cpp
        LIBS telmiosession kvophonesim kvodevice)
endif()
if(TARGET kvophonesim)
    kvo_bench(bench_gammu_compare SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gammu_compare_bench.cpp
        LIBS telmiosession kvophonesim kvodevice)
endif()

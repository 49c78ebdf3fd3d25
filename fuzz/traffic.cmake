kvo_fuzz(fuzz_traffic_log ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_traffic_log.cpp linkwatchcore)
kvo_fuzz(fuzz_monitor_ini ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_monitor_ini.cpp linkwatchcore)

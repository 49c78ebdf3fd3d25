kvo_bench(bench_kvocomm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvocomm_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/kvocomm/phone_responder.cpp LIBS kvocomm ce)
target_include_directories(bench_kvocomm PRIVATE ${PROJECT_SOURCE_DIR}/tests/kvocomm)
if(TARGET kvophonesim)
    kvo_bench(bench_kvocomm_sim SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvocomm_sim_bench.cpp
        LIBS kvocomm kvophonesim ce)
endif()

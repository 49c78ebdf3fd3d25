kvo_bench(bench_kvocomm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/kvocomm_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/kvocomm/phone_responder.cpp LIBS kvocomm ce)
target_include_directories(bench_kvocomm PRIVATE ${PROJECT_SOURCE_DIR}/tests/kvocomm)

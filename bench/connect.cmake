kvo_bench(bench_connect_data SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/connect_data_bench.cpp
    LIBS connectdata)
# It reads the database the build generates.
add_dependencies(bench_connect_data kvodat_database)

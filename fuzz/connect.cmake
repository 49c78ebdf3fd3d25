kvo_fuzz(fuzz_connection_data ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_connection_data.cpp connectdata)

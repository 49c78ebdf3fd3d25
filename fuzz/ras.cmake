kvo_fuzz(fuzz_ras_record ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ras_record.cpp ce)

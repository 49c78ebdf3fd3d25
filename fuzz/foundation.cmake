kvo_fuzz(fuzz_registry ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_registry.cpp ce)
kvo_fuzz(fuzz_stored_string ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_stored_string.cpp kvocommon)

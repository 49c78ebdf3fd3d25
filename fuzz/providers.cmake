kvo_fuzz(fuzz_provider_import ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_provider_import.cpp kvodattool)

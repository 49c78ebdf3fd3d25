kvo_fuzz(fuzz_kvocomm ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_kvocomm.cpp kvocommframing)

kvo_fuzz(fuzz_intranet_dat ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_intranet_dat.cpp connectdialup)

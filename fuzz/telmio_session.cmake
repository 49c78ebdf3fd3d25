kvo_fuzz(fuzz_sms_info ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_sms_info.cpp telmiosession)

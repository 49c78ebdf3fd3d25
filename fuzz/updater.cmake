kvo_fuzz(fuzz_version_info ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_version_info.cpp updatercore)
kvo_fuzz(fuzz_update_info ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_update_info.cpp updatercore)
kvo_fuzz(fuzz_post_reset_copy ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_post_reset_copy.cpp updatercore)

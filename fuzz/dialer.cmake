kvo_fuzz(fuzz_theme_package ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_theme_package.cpp dialerthemes)
kvo_fuzz(fuzz_theme_config ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_theme_config.cpp dialerthemes)
kvo_fuzz(fuzz_dib ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_dib.cpp ce)

kvo_fuzz(fuzz_config_xml ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_config_xml.cpp ce)
kvo_fuzz(fuzz_shortcut ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_shortcut.cpp ce)

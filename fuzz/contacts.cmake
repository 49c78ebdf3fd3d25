kvo_fuzz(fuzz_phonebook_file ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_phonebook_file.cpp telmiocontacts)
kvo_fuzz(fuzz_phonebook_reply ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_phonebook_reply.cpp telmiocontacts)
kvo_fuzz(fuzz_group_file ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_group_file.cpp telmiocontacts)
kvo_fuzz(fuzz_vcard ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_vcard.cpp ce)

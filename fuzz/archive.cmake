# The RAR, ZIP, ACE and CAB readers: probing, listing and the title selection.
tressel_fuzz_target(fuzz_archive ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_archive.cpp tressel_readers)

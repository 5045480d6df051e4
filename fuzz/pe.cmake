tressel_fuzz_target(fuzz_pe ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_pe.cpp tressel_readers)

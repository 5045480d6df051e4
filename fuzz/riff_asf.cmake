# The RIFF (AVI, WAVE) and ASF header readers, with the value formatting of their
# readers on top.
tressel_fuzz_target(fuzz_riff ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_riff.cpp tressel_readers)
tressel_fuzz_target(fuzz_asf ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_asf.cpp tressel_readers)

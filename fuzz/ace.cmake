# Our ACE library: headers, comments, member walk, stored and LZ77 unpacking.
tressel_fuzz_target(fuzz_ace ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ace.cpp tressel_platform)

# The cabinet engine: header test and copy runs, continued folders included.
tressel_fuzz_target(fuzz_cabinet ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_cabinet.cpp tressel_readers)

# The Quantum decoder on its own, block after block, without a cabinet around it.
tressel_fuzz_target(fuzz_quantum ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_quantum.cpp tressel_readers)

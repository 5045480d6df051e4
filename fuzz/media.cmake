# The byte-window media tag readers: MP3 (ID3v2, ID3v1), Ogg comments, RealMedia.
tressel_fuzz_target(fuzz_mp3 ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_mp3.cpp tressel_readers)
tressel_fuzz_target(fuzz_ogg ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ogg.cpp tressel_readers)
tressel_fuzz_target(fuzz_rm ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_rm.cpp tressel_readers)

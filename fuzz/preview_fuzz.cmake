# The preview decoder with the colour conversion.
kerf_fuzz_target(preview_decoder_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_decoder_fuzz.cpp
                 LIBS kerf_mpeg2)

# The packet reader under the PCR measurement, the preview extraction and the sequence header walk.
kerf_fuzz_target(ts_reader_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/ts_reader_fuzz.cpp
                 LIBS kerf_core kerf_mpeg2)

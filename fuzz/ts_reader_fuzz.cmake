# libFuzzer target for the packet reader under the measurement and the preview extraction (clang,
# fuzz preset).
file(GLOB KERF_MPEG2_FUZZ_SOURCES ${PROJECT_SOURCE_DIR}/mpeg2/*.cpp)
kerf_fuzz_target(ts_reader_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ts_reader_fuzz.cpp ${KERF_TS_FUZZ_SOURCES}
          ${PROJECT_SOURCE_DIR}/core/input_measure.cpp ${KERF_MPEG2_FUZZ_SOURCES})

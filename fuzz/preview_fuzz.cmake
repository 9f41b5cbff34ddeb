# libFuzzer target for the preview decoder and colour conversion (clang, fuzz preset).
file(GLOB KERF_PREVIEW_FUZZ_SOURCES ${PROJECT_SOURCE_DIR}/mpeg2/*.cpp)
kerf_fuzz_target(preview_decoder_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_decoder_fuzz.cpp ${KERF_PREVIEW_FUZZ_SOURCES}
          ${KERF_TS_FUZZ_SOURCES})

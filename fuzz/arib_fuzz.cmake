# libFuzzer target for the ARIB text converter (clang, fuzz preset).
kerf_fuzz_target(arib_text_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/arib_text_fuzz.cpp ${KERF_ARIB_FUZZ_SOURCES})

# libFuzzer target for the PSI/SI table layer (clang, fuzz preset).
kerf_fuzz_target(psi_table_layer_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/psi_table_layer_fuzz.cpp ${KERF_PSI_FUZZ_SOURCES})

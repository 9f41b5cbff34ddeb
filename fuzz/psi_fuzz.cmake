# The PSI/SI table layer.
kerf_fuzz_target(psi_table_layer_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/psi_table_layer_fuzz.cpp
                 LIBS kerf_psi)

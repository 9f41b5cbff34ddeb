# libFuzzer target for the PSI/SI table layer (clang, fuzz preset). The table layer's sources and
# the ARIB converter it names programmes with are compiled into the target for coverage.
add_executable(psi_table_layer_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/psi_table_layer_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/section_store.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/descriptor_loop.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/table_layer.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/psi_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/si_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/class_text_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_text.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_tables.cpp)
kerf_settings(psi_table_layer_fuzz)
target_compile_options(psi_table_layer_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(psi_table_layer_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

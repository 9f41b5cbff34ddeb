# libFuzzer target for the demux tool's own parsers: the command line and the control file
# (clang, fuzz preset). The control-file unit names the table layer, so its sources come along.
add_executable(demux_parsers_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/demux_parsers_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/demux/demux_options.cpp
  ${PROJECT_SOURCE_DIR}/demux/demux_control.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/section_store.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/descriptor_loop.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/table_layer.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/psi_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/si_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/psi/class_text_tables.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_text.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_tables.cpp)
target_link_libraries(demux_parsers_fuzz PRIVATE kerf_common)
kerf_settings(demux_parsers_fuzz)
target_compile_options(demux_parsers_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(demux_parsers_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

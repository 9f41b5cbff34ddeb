# libFuzzer target for the ARIB text converter (clang, fuzz preset). The converter's sources are
# compiled into the target itself so that they carry the fuzzer's coverage instrumentation.
add_executable(arib_text_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/arib_text_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_text.cpp
  ${PROJECT_SOURCE_DIR}/demux/arib/arib_tables.cpp)
kerf_settings(arib_text_fuzz)
target_compile_options(arib_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(arib_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

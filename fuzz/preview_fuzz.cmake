# libFuzzer target for the preview decoder and colour conversion (clang, fuzz preset). The
# decoder's sources are compiled into the target for coverage.
file(GLOB KERF_PREVIEW_FUZZ_SOURCES ${PROJECT_SOURCE_DIR}/cutter/preview/*.cpp)
list(FILTER KERF_PREVIEW_FUZZ_SOURCES EXCLUDE REGEX "_(window|dialog)\\.cpp$")
add_executable(preview_decoder_fuzz ${CMAKE_CURRENT_LIST_DIR}/preview_decoder_fuzz.cpp
                                    ${KERF_PREVIEW_FUZZ_SOURCES})
kerf_settings(preview_decoder_fuzz)
target_link_libraries(preview_decoder_fuzz PRIVATE kerf_common)
target_compile_options(preview_decoder_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(preview_decoder_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)

# libFuzzer target for the demux tool's own parsers: the command line and the information-file
# format, as the tool and as the cutter read it (clang, fuzz preset). The control-file unit names the table layer, so its sources come along.
kerf_fuzz_target(demux_parsers_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/demux_parsers_fuzz.cpp
          ${PROJECT_SOURCE_DIR}/demux/demux_options.cpp
          ${PROJECT_SOURCE_DIR}/demux/demux_control.cpp
          ${PROJECT_SOURCE_DIR}/demux/info_file_reader.cpp
          ${KERF_PSI_FUZZ_SOURCES})

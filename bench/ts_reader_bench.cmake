# ts_reader_bench: the packet reader's cost per packet against the bare block loop under it, on a
# recording made by make_recording (run by hand: ts_reader_bench <recording.ts> [passes]).
if(TARGET kerf_ts)
  kerf_program(ts_reader_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/ts_reader_bench.cpp LIBS kerf_ts)
endif()

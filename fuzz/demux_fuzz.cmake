# The demux tool's own parsers (command line, control file, information file as the tool and as the
# cutter read it), and the packet loop with the tables run through the engine's typed API.
kerf_fuzz_target(demux_parsers_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/demux_parsers_fuzz.cpp
                 LIBS kerf_core kerf_demux)
kerf_fuzz_target(demux_engine_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/demux_engine_fuzz.cpp
                 LIBS kerf_core kerf_demux)

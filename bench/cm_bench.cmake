# bench/cm_bench.sh: the commercial finder's figures on recordings rendered for it.
if(TARGET kerf_cm_recording)
  kerf_program(make_cm_recording SOURCES make_cm_recording.cpp LIBS kerf_cm_recording)
endif()

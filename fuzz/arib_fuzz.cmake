# The ARIB text converter.
kerf_fuzz_target(arib_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/arib_text_fuzz.cpp LIBS kerf_arib)
# The DVB text decoder.
kerf_fuzz_target(dvb_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/dvb_text_fuzz.cpp LIBS kerf_dvb)

# The ARIB text converter.
kerf_fuzz_target(arib_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/arib_text_fuzz.cpp LIBS kerf_arib)

# The cutter's own files: the settings file with the start-up and exit it drives, and LOGO.BMP.
kerf_fuzz_target(settings_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_fuzz.cpp LIBS kerf_cutter)
kerf_fuzz_target(logo_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/logo_fuzz.cpp LIBS kerf_cutter)

# kerf serve's reading of requests (Linux, where kerf serve is built).
if(TARGET kerf_serve)
  kerf_fuzz_target(serve_request_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/serve_request_fuzz.cpp
                   LIBS kerf_serve)
endif()

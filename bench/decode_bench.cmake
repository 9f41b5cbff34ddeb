# decode_intra_bench: the preview decoder against libavcodec on the same intra picture, in one
# run. Built only natively and only where pkg-config finds libavcodec and libavutil (Debian's
# libavcodec-dev); `cmake --build <dir> --target run_decode_bench` makes 720x480, 1440x1080 and
# 1920x1080 streams with ffmpeg and runs it on each.
if(WIN32 OR NOT TARGET kerf_mpeg2)
  return()
endif()
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(KERF_LIBAV IMPORTED_TARGET libavcodec libavutil)
endif()
if(NOT KERF_LIBAV_FOUND)
  message(STATUS "decode_intra_bench: libavcodec not found, benchmark not built")
  return()
endif()
kerf_program(decode_intra_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/decode_intra_bench.cpp
             LIBS kerf_mpeg2 PkgConfig::KERF_LIBAV)
find_program(KERF_BENCH_FFMPEG ffmpeg)
if(KERF_BENCH_FFMPEG)
  # Intra pictures of the three sizes broadcasts carry, coded as a broadcaster codes them (field
  # DCT, alternate scan tables off, intra VLC table 1).
  set(streams "")
  foreach(size 720x480 1440x1080 1920x1080)
    string(REPLACE "x" ";" wh ${size})
    list(GET wh 1 height)
    if(height GREATER 576)
      set(rate 18M)
    else()
      set(rate 8M)
    endif()
    set(stream ${CMAKE_CURRENT_BINARY_DIR}/intra_${size}.m2v)
    add_custom_command(
      OUTPUT ${stream}
      COMMAND ${KERF_BENCH_FFMPEG} -nostdin -hide_banner -loglevel error -y -f lavfi
              -i "testsrc2=size=${size}:rate=30000/1001,noise=alls=12:allf=t" -frames:v 2
              -pix_fmt yuv420p -c:v mpeg2video -g 1 -bf 0 -b:v ${rate} -maxrate ${rate} -bufsize 9M
              -flags +ildct+ilme -top 1 -intra_vlc 1 -f mpeg2video ${stream}
      VERBATIM)
    list(APPEND streams ${stream})
  endforeach()
  # `cmake --build <dir> --target run_decode_bench` decodes each size with both decoders.
  set(runs "")
  foreach(stream IN LISTS streams)
    list(APPEND runs COMMAND decode_intra_bench ${stream})
  endforeach()
  add_custom_target(run_decode_bench ${runs} DEPENDS decode_intra_bench ${streams} VERBATIM USES_TERMINAL)
endif()

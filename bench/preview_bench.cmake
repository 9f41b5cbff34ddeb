# preview_latency_bench: the time from RefreshPreview to the converted picture at positions of a
# 1440x1080 interlaced recording, cold and warm cache, beside the decoder's own benchmark. Built
# natively (kerfcut on the headless window system); `cmake --build <dir> --target run_preview_bench`
# makes the recording with ffmpeg (about 24 Mbit/s like a broadcast: MPEG-2 video at 16 Mbit/s,
# a sequence header every 15 pictures, B pictures, padded with null packets) and runs it.
if(WIN32 OR NOT TARGET kerf_cutter)
  return()
endif()
kerf_program(preview_latency_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/preview_latency_bench.cpp LIBS kerf_cutter)
find_program(KERF_BENCH_FFMPEG ffmpeg)
if(KERF_BENCH_FFMPEG)
  set(recording ${CMAKE_CURRENT_BINARY_DIR}/hd_1440x1080.ts)
  add_custom_command(
    OUTPUT ${recording}
    COMMAND ${KERF_BENCH_FFMPEG} -nostdin -hide_banner -loglevel error -y -f lavfi
            -i "testsrc2=size=1440x1080:rate=30000/1001,noise=alls=8:allf=t" -t 12 -pix_fmt yuv420p
            -c:v mpeg2video -b:v 16M -maxrate 18M -bufsize 9M -g 15 -bf 2 -flags +ildct+ilme -top 1
            -f mpegts -muxrate 24M ${recording}
    VERBATIM)
  add_custom_target(run_preview_bench
                    COMMAND preview_latency_bench ${recording}
                    DEPENDS preview_latency_bench ${recording} VERBATIM USES_TERMINAL)
endif()

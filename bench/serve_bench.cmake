# serve_bench: kerf serve on the loopback under load (pictures during a cut, a timeline of a long
# recording, a cut through the API against kerf cut, 50 clients, resident memory).
# `cmake --build <dir> --target run_serve_bench` makes a 1440x1080 stream with ffmpeg (as the
# preview benchmark does) and two three-service recordings carrying it (256 MiB and 4 GiB), then runs the benchmark.
if(WIN32 OR NOT TARGET kerf_serve OR NOT TARGET make_recording)
  return()
endif()
add_executable(serve_bench ${CMAKE_CURRENT_LIST_DIR}/serve_bench.cpp)
target_compile_options(serve_bench PRIVATE -Wall -Wextra)
target_include_directories(serve_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(serve_bench PRIVATE kerf_json PkgConfig::KERF_HTTPLIB)
set_target_properties(serve_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
find_program(KERF_BENCH_FFMPEG ffmpeg)
if(KERF_BENCH_FFMPEG)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/serve)
  add_custom_command(
    OUTPUT ${folder}/hd.ts ${folder}/hd.m2v
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${KERF_BENCH_FFMPEG} -nostdin -hide_banner -loglevel error -y -f lavfi
            -i "testsrc2=size=1440x1080:rate=30000/1001,noise=alls=8:allf=t" -t 12 -pix_fmt yuv420p
            -c:v mpeg2video -b:v 16M -maxrate 18M -bufsize 9M -g 15 -bf 2 -flags +ildct+ilme -top 1
            -aspect 16:9 -f mpegts -muxrate 24M ${folder}/hd.ts
    COMMAND ${KERF_BENCH_FFMPEG} -nostdin -hide_banner -loglevel error -y -i ${folder}/hd.ts -map 0:v:0 -c copy
            -f mpeg2video ${folder}/hd.m2v
    VERBATIM)
  # The recordings carry the picture stream in broadcast form (services with stream identifier
  # descriptors), so the programme analysis finds their video as it finds a broadcast's.
  add_custom_command(OUTPUT ${folder}/long.ts COMMAND make_recording ${folder}/long.ts 4096 ${folder}/hd.m2v
                     DEPENDS make_recording ${folder}/hd.m2v VERBATIM)
  add_custom_command(OUTPUT ${folder}/pictures.ts COMMAND make_recording ${folder}/pictures.ts 256 ${folder}/hd.m2v
                     DEPENDS make_recording ${folder}/hd.m2v VERBATIM)
  add_custom_target(run_serve_bench
                    COMMAND serve_bench $<TARGET_FILE:kerf> ${folder} pictures.ts long.ts
                    DEPENDS serve_bench kerf ${folder}/pictures.ts ${folder}/long.ts VERBATIM USES_TERMINAL)
endif()

// Writes a test recording of the commercial finder for figures: make_cm_recording DIR NAME REPEAT
// [WIDTH HEIGHT KBPS]; prints the truth (each segment's kind and start on the recording clock).
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "tests/cm/cm_recording.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 7) {
    std::fprintf(stderr, "usage: make_cm_recording DIR NAME REPEAT [WIDTH HEIGHT KBPS]\n");
    return 2;
  }
  try {
    cmrec::Layout layout = cmrec::StandardLayout(std::atoi(argv[3]));
    if (argc == 7) {
      layout.width = std::atoi(argv[4]);
      layout.height = std::atoi(argv[5]);
      layout.videoKbps = std::atoi(argv[6]);
    }
    const cmrec::Recording r = cmrec::Build(layout, argv[1], argv[2]);
    static const char* const kParts[] = {"programme", "credit", "commercial"};
    for (size_t i = 0; i < layout.segments.size(); ++i)
      std::printf("%-10s %9.3f %6.1f event %04X\n", kParts[int(layout.segments[i].part)],
                  r.starts[i] + r.clockOffsetMs / 1000, layout.segments[i].seconds, layout.segments[i].event);
    std::printf("end        %9.3f\n", r.seconds + r.clockOffsetMs / 1000);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_cm_recording: %s\n", e.what());
    return 1;
  }
  return 0;
}

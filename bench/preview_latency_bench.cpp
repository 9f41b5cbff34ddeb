// The preview's latency: the time from RefreshPreview to the converted picture in the preview
// bitmap (extraction of the window, decoding of the first picture, conversion), at positions spread
// over a recording, with the recording's pages evicted from the page cache (cold) and in it (warm).
// kerfcut runs on the headless window system, whose repaint happens inside RefreshPreview, so the
// time covers exactly the paint's work. A breakdown by stage is measured through the preview
// driver on its own. Usage: preview_latency_bench REC.ts [rounds]
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "common/message_sink.h"
#include "cutter/main_frame.h"
#include "resources/ids.h"
#include "resources/templates.h"

namespace {

constexpr int32_t kVideoPid = 0x0100;  // ffmpeg's first stream, which also carries the PCRs
constexpr int kPositions = 16;

// <chrono> is not usable with the project's CP932 execution character set (its unit suffixes
// contain a micro sign), so the clock is read through timespec_get.
double now_ms() {
  std::timespec ts;
  std::timespec_get(&ts, TIME_UTC);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Drops the file's pages from the page cache; the share of its pages still resident afterwards.
double evict(const char* path) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 1;
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  struct stat st {};
  fstat(fd, &st);
  double resident = 1;
  const size_t size = size_t(st.st_size), page = size_t(sysconf(_SC_PAGESIZE));
  void* map = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
  if (map != MAP_FAILED) {
    std::vector<unsigned char> pages((size + page - 1) / page);
    if (mincore(map, size, pages.data()) == 0) {
      size_t in = 0;
      for (unsigned char p : pages) in += p & 1;
      resident = double(in) / double(pages.size());
    }
    munmap(map, size);
  }
  close(fd);
  return resident;
}

void warm_up(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return;
  static char block[1 << 20];
  while (std::fread(block, 1, sizeof block, f) > 0) {
  }
  std::fclose(f);
}

struct Stats {
  double median, p90, min, max;
};
Stats stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[v.size() * 9 / 10], v.front(), v.back()};
}
void print(const char* what, const std::vector<double>& v) {
  const Stats s = stats(v);
  std::printf("%-34s median %7.2f ms  p90 %7.2f  min %7.2f  max %7.2f  (%zu previews)\n", what, s.median, s.p90,
              s.min, s.max, v.size());
}

class NoSink : public MessageSink {
 public:
  bool Report(MessageKind, const char*) override { return true; }
};

// The recording under test and the positions previewed in it.
struct Recording {
  const char* path;
  double size;
  int32_t packets;
  std::vector<int32_t> positions;  // kPositions spread from 5 % to 80 %
};

// RefreshPreview on kerfcut's dialog, `rounds` times at every position: cold (the recording's
// pages evicted before each preview) and warm. Returns false when kerfcut does not start.
struct RefreshTimes {
  std::vector<double> cold, warm;
  double resident = 0;  // largest share of the file still cached after an eviction
};
bool measure_refresh(const Recording& rec, int rounds, RefreshTimes& out) {
  char folder[] = "/tmp/kerf-preview-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return false;
  ui::register_templates(res::dialog_templates(), res::menu_templates());
  auto app = std::make_unique<TMyApp>((std::string(folder) + "/kerfcut.exe").c_str(), "/");
  if (!app->Start()) return false;
  MyDialog& dialog = app->dialog();
  Settings& s = app->state().settings;
  std::snprintf(s.loadedInputPath, sizeof s.loadedInputPath, "%s", rec.path);
  s.inputSize = rec.size;
  s.pcrPid = kVideoPid;
  s.programmeList.videoPid[0] = kVideoPid;
  s.programmeList.ordinal[0] = 1;
  s.programmeList.count = 1;
  s.activePoint = 0;

  auto refresh = [&](int32_t position) {
    s.startPacket = position;
    const double t0 = now_ms();
    dialog.RefreshPreview();
    const double t = now_ms() - t0;
    char status[128];
    dialog.GetItemText(res::kStatusLine, status, sizeof status);
    if (!dialog.preview().pictureCurrent() || std::strcmp(status, "状態：正常") != 0) {
      std::fprintf(stderr, "no picture at packet %08X\n", unsigned(position));
      std::exit(1);
    }
    return t;
  };
  for (int r = 0; r < rounds; ++r) {
    for (int32_t p : rec.positions) {
      out.resident = std::max(out.resident, evict(rec.path));
      out.cold.push_back(refresh(p));
    }
  }
  warm_up(rec.path);
  for (int r = 0; r < rounds; ++r)
    for (int32_t p : rec.positions) out.warm.push_back(refresh(p));
  std::printf("recording %s: %.1f MB, %d packets; picture %dx%d; %d positions from 5%% to 80%%, %d rounds\n",
              rec.path, rec.size / 1e6, int(rec.packets), dialog.preview().headers().horizontal_size_value,
              dialog.preview().headers().vertical_size_value, kPositions, rounds);
  app.reset();
  const std::string cleanup = std::string("rm -rf '") + folder + "'";
  return std::system(cleanup.c_str()) == 0;
}

// The stages on their own (warm), through the preview driver: extraction, then decoding with the
// conversion. Returns false when an extraction fails.
struct StageTimes {
  std::vector<double> extract, decode;
  double esBytes = 0;
};
bool measure_stages(const Recording& rec, int rounds, StageTimes& out) {
  auto decoder = std::make_unique<PreviewDecoder>();
  std::unique_ptr<uint8_t[]> readBuffer(new uint8_t[kPreviewReadSize]);
  std::unique_ptr<uint8_t[]> dib(new uint8_t[kPreviewDibBytes]);
  std::unique_ptr<uint8_t[]> esBuffer(new uint8_t[kEsBufferSize]);
  PreviewDriver driver(readBuffer.get(), esBuffer.get(), *decoder);
  NoSink sink;
  for (int r = 0; r < rounds; ++r) {
    for (int32_t p : rec.positions) {
      PreviewRequest request;
      request.inputPath = rec.path;
      request.inputSize = rec.size;
      request.programmeCount = 1;
      request.videoPid = kVideoPid;
      request.pcrPid = kVideoPid;
      request.startPacket = p;
      const double t0 = now_ms();
      if (driver.ExtractPreviewStream(request, sink) != 0) return false;
      const double t1 = now_ms();
      driver.DecodePreviewStream(request, sink, dib.get());
      const double t2 = now_ms();
      out.extract.push_back(t1 - t0);
      out.decode.push_back(t2 - t1);
      out.esBytes += double(driver.es().length);
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s REC.ts [rounds]\n", argv[0]);
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  struct stat st {};
  if (stat(argv[1], &st) != 0 || st.st_size < 188 * 100000) {
    std::fprintf(stderr, "%s: missing or shorter than 100000 packets\n", argv[1]);
    return 1;
  }
  Recording rec{argv[1], double(st.st_size), int32_t(st.st_size / 188), {}};
  for (int i = 0; i < kPositions; ++i)
    rec.positions.push_back(int32_t(int64_t(rec.packets) * (5 + 5 * i) / 100));

  RefreshTimes refresh;
  StageTimes stages;
  const bool cleaned = measure_refresh(rec, rounds, refresh);
  if (refresh.warm.empty() || !measure_stages(rec, rounds, stages)) return 1;
  print("RefreshPreview, cold cache", refresh.cold);
  print("RefreshPreview, warm cache", refresh.warm);
  print("  extraction (warm)", stages.extract);
  print("  decoding and conversion", stages.decode);
  std::printf("sequence extracted: %.0f KB on average; after eviction at most %.1f %% of the file stayed cached\n",
              stages.esBytes / double(stages.extract.size()) / 1024, refresh.resident * 100);
  return cleaned ? 0 : 1;
}

// Decodes the first (intra) picture of an MPEG-2 video ES with the preview decoder and with
// libavcodec (single-threaded) in the same run, and prints the median time of each and their
// ratio. Usage: decode_intra_bench STREAM.m2v [iterations]
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "mpeg2/picture_decoder.h"

namespace {

// <chrono> is not usable with the project's CP932 execution character set (its unit suffixes
// contain a micro sign), so the clock is read through timespec_get.
double now_ms() {
  std::timespec ts;
  std::timespec_get(&ts, TIME_UTC);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

std::vector<uint8_t> read_all(const char* path) {
  std::vector<uint8_t> d;
  FILE* f = std::fopen(path, "rb");
  if (!f) return d;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  std::fclose(f);
  return d;
}

// Length of the ES up to (not including) the second picture start code: headers and one picture.
size_t first_picture_length(const std::vector<uint8_t>& es) {
  int pictures = 0;
  for (size_t i = 0; i + 3 < es.size(); ++i) {
    if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && es[i + 3] == 0 && ++pictures == 2)
      return i;
  }
  return es.size();
}

double median_ms(std::vector<double>& v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// libavcodec's MPEG-2 decoder with one thread, fed the picture's bytes as one packet and drained
// each time.
class Libav {
 public:
  explicit Libav(const std::vector<uint8_t>& picture) : size_(int(picture.size())), padded_(picture) {
    padded_.resize(padded_.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
    ctx_ = avcodec_alloc_context3(codec);
    ctx_->thread_count = 1;
    open_ = codec && avcodec_open2(ctx_, codec, nullptr) >= 0;
    pkt_ = av_packet_alloc();
    frame_ = av_frame_alloc();
  }
  ~Libav() {
    av_frame_free(&frame_);
    av_packet_free(&pkt_);
    avcodec_free_context(&ctx_);
  }
  bool open() const { return open_; }
  int frames() const { return frames_; }
  void Decode() {
    pkt_->data = padded_.data();
    pkt_->size = size_;
    avcodec_send_packet(ctx_, pkt_);
    avcodec_send_packet(ctx_, nullptr);
    while (avcodec_receive_frame(ctx_, frame_) == 0) {
      ++frames_;
      av_frame_unref(frame_);
    }
    avcodec_flush_buffers(ctx_);
  }

 private:
  int size_;
  std::vector<uint8_t> padded_;
  AVCodecContext* ctx_ = nullptr;
  AVPacket* pkt_ = nullptr;
  AVFrame* frame_ = nullptr;
  bool open_ = false;
  int frames_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s STREAM.m2v [iterations]\n", argv[0]);
    return 2;
  }
  const int iterations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  std::vector<uint8_t> file = read_all(argv[1]);
  if (file.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> picture(file.begin(), file.begin() + long(first_picture_length(file)));

  // Ours: the ES as the extraction leaves it, with its end marker.
  std::vector<uint8_t> es = picture;
  const uint8_t marker[4] = {0, 0, 1, 0};
  es.insert(es.end(), marker, marker + 4);
  const int32_t es_length = int32_t(es.size()) + 8;
  es.resize(es.size() + 128, 0);
  auto decoder = std::make_unique<PreviewDecoder>();
  Libav libav(picture);
  if (!libav.open()) {
    std::fprintf(stderr, "libavcodec mpeg2video unavailable\n");
    return 1;
  }

  // The two decoders take turns, so a change in the machine's load affects both alike.
  std::vector<double> ours, theirs;
  for (int i = 0; i < iterations + 3; ++i) {
    double t0 = now_ms();
    ResetDecoderRun(*decoder, 0);
    DecodeStream(*decoder, es.data(), es_length, int64_t(es.size()));
    double t1 = now_ms();
    if (i >= 3) ours.push_back(t1 - t0);
    t0 = now_ms();
    libav.Decode();
    t1 = now_ms();
    if (i >= 3) theirs.push_back(t1 - t0);
  }
  if (decoder->run.errorCode != 0) {
    std::fprintf(stderr, "preview decoder error %d\n", decoder->run.errorCode);
    return 1;
  }
  if (libav.frames() < iterations) {
    std::fprintf(stderr, "libavcodec returned %d frames for %d runs\n", libav.frames(), iterations + 3);
    return 1;
  }

  // The machine may be shared: the minimum is the least disturbed run, the median the usual one.
  const double a = median_ms(ours), b = median_ms(theirs);
  const double amin = *std::min_element(ours.begin(), ours.end());
  const double bmin = *std::min_element(theirs.begin(), theirs.end());
  std::printf("picture %dx%d, %zu bytes, %d runs each\n", decoder->headers.horizontal_size_value,
              decoder->headers.vertical_size_value, picture.size(), iterations);
  std::printf("preview decoder : %8.3f ms median, %8.3f ms minimum\n", a, amin);
  std::printf("libavcodec      : %8.3f ms median, %8.3f ms minimum (1 thread)\n", b, bmin);
  std::printf("ratio ours/libavcodec: %.2f (medians), %.2f (minima)\n", a / b, amin / bmin);
  return 0;
}

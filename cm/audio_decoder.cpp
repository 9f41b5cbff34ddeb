// libavcodec behind AudioDecoder: a parser splits the byte stream into frames, the decoder turns
// each into planar or interleaved samples, and the power of each sample is worked out here in the
// one sample layout the rest of the finder reads.
#include "cm/audio_decoder.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace {

// The power of every sample of a frame whose samples are of type T (planar or interleaved),
// scaled so that full scale is 1.0.
template <typename T>
void frame_power(const AVFrame& f, bool planar, int channels, float scale, float* power) {
  const int n = f.nb_samples;
  for (int i = 0; i < n; ++i) power[i] = 0;
  for (int c = 0; c < channels; ++c) {
    const T* data = reinterpret_cast<const T*>(planar ? f.extended_data[c] : f.extended_data[0]);
    const int step = planar ? 1 : channels;
    const int first = planar ? 0 : c;
    for (int i = 0; i < n; ++i) {
      const float x = float(data[first + i * step]) * scale;
      power[i] += x * x;
    }
  }
  const float share = 1.0f / float(channels);
  for (int i = 0; i < n; ++i) power[i] *= share;
}

}  // namespace

struct AudioDecoder::Library {
  AVCodecParserContext* parser = nullptr;
  AVCodecContext* context = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  std::vector<float> power;   // one frame's samples (grows to the largest frame once)

  ~Library() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    if (parser) av_parser_close(parser);
  }
};

AudioCoding audio_coding_of(StreamCodec codec) {
  switch (codec) {
    case StreamCodec::Aac: return AudioCoding::AacAdts;
    case StreamCodec::MpegAudio: return AudioCoding::MpegAudio;
    default: return AudioCoding::None;
  }
}

AudioDecoder::AudioDecoder() = default;
AudioDecoder::~AudioDecoder() = default;

bool AudioDecoder::Open(AudioCoding coding) {
  lib_.reset();
  if (coding == AudioCoding::None) return false;
  const AVCodecID id = coding == AudioCoding::AacAdts ? AV_CODEC_ID_AAC : AV_CODEC_ID_MP2;
  // The library's own complaints about damaged frames would go to stderr line by line; the
  // decoder counts refused frames instead, and the caller says what matters.
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec) return false;
  auto lib = std::make_unique<Library>();
  lib->parser = av_parser_init(id);
  lib->context = avcodec_alloc_context3(codec);
  lib->packet = av_packet_alloc();
  lib->frame = av_frame_alloc();
  if (!lib->parser || !lib->context || !lib->packet || !lib->frame) return false;
  lib->context->thread_count = 1;   // one core: the finder's speed is stated per core
  if (avcodec_open2(lib->context, codec, nullptr) < 0) return false;
  lib_ = std::move(lib);
  return true;
}

void AudioDecoder::Feed(const uint8_t* data, size_t size, AudioSink& sink) {
  if (!lib_) return;
  while (size > 0) {
    uint8_t* frame = nullptr;
    int frameSize = 0;
    const int chunk = size > size_t(1) << 30 ? 1 << 30 : int(size);
    const int used = av_parser_parse2(lib_->parser, lib_->context, &frame, &frameSize, data, chunk,
                                      AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) return;
    data += used;
    size -= size_t(used);
    if (frameSize > 0) Decode(frame, frameSize, sink);
    if (used == 0 && frameSize == 0) return;
  }
}

void AudioDecoder::Flush(AudioSink& sink) {
  if (!lib_) return;
  uint8_t* frame = nullptr;
  int frameSize = 0;
  av_parser_parse2(lib_->parser, lib_->context, &frame, &frameSize, nullptr, 0, AV_NOPTS_VALUE,
                   AV_NOPTS_VALUE, 0);
  if (frameSize > 0) Decode(frame, frameSize, sink);
  if (avcodec_send_packet(lib_->context, nullptr) >= 0) Drain(sink);
}

void AudioDecoder::Decode(const uint8_t* frame, int size, AudioSink& sink) {
  lib_->packet->data = const_cast<uint8_t*>(frame);
  lib_->packet->size = size;
  const int sent = avcodec_send_packet(lib_->context, lib_->packet);
  lib_->packet->data = nullptr;
  lib_->packet->size = 0;
  if (sent < 0) {
    ++errors_;
    return;
  }
  Drain(sink);
}

void AudioDecoder::Drain(AudioSink& sink) {
  AVFrame& f = *lib_->frame;
  for (;;) {
    const int got = avcodec_receive_frame(lib_->context, &f);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
    if (got < 0) {
      ++errors_;
      return;
    }
    const int channels = f.ch_layout.nb_channels;
    const AVSampleFormat format = AVSampleFormat(f.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (channels > 0 && f.nb_samples > 0 && f.sample_rate > 0 &&
        (packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_S16 || packed == AV_SAMPLE_FMT_S32)) {
      std::vector<float>& power = lib_->power;
      if (power.size() < size_t(f.nb_samples)) power.resize(size_t(f.nb_samples));
      if (packed == AV_SAMPLE_FMT_FLT) frame_power<float>(f, planar, channels, 1.0f, power.data());
      if (packed == AV_SAMPLE_FMT_S16) frame_power<int16_t>(f, planar, channels, 1.0f / 32768, power.data());
      if (packed == AV_SAMPLE_FMT_S32)
        frame_power<int32_t>(f, planar, channels, 1.0f / 2147483648.0f, power.data());
      sink.OnAudio(power.data(), f.nb_samples, f.sample_rate);
    } else {
      ++errors_;
    }
    av_frame_unref(&f);
  }
}

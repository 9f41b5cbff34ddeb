// The one entrance to the audio library (FFmpeg's libavcodec): elementary-stream bytes of an
// audio PID in, the power of each decoded sample out. Nothing else in the project names the
// library, so a change of decoder is a change of this file pair.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "demux/psi/programme_table.h"

// The audio codings a broadcast recording carries that this decoder reads.
enum class AudioCoding : uint8_t {
  None,        // not an audio stream this decoder knows
  AacAdts,     // MPEG-2 AAC in ADTS frames (ISDB's audio)
  MpegAudio,   // MPEG-1/2 audio layers I-III
};
// The coding of a stream as its PMT entry classes it (stream_kind.h).
AudioCoding audio_coding_of(StreamCodec codec);

// Receives decoded audio one frame at a time: power[i] is the mean over the channels of the
// square of sample i (full scale 1.0), count samples at rate Hz.
class AudioSink {
 public:
  virtual void OnAudio(const float* power, int count, int rate) = 0;

 protected:
  ~AudioSink() = default;
};

class AudioDecoder {
 public:
  AudioDecoder();
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // False when the library has no decoder for the coding (or cannot set one up).
  bool Open(AudioCoding coding);
  // Bytes of the elementary stream in order (PES payloads without their headers); frames may
  // span calls. Each decoded frame goes to sink. Damaged frames are counted and passed over.
  void Feed(const uint8_t* data, size_t size, AudioSink& sink);
  // Decodes what the library still holds (the end of the stream).
  void Flush(AudioSink& sink);
  // Frames the library refused.
  uint32_t errors() const { return errors_; }

 private:
  void Drain(AudioSink& sink);
  void Decode(const uint8_t* frame, int size, AudioSink& sink);

  struct Library;
  std::unique_ptr<Library> lib_;
  uint32_t errors_ = 0;
};

// Audio levels every 10 ms and the silences among them: decoded samples in (their power), runs of
// quiet windows out, on the recording's clock in milliseconds.
#pragma once
#include <cstdint>

#include "cm/audio_decoder.h"

// One level per this many milliseconds of audio.
constexpr int kLevelStepMs = 10;
// A window whose mean power lies below this (dB relative to full scale) is silent. Programme
// sound, however quiet, stays well above it; the gaps at the edges of commercials are digital
// silence, which the AAC encoder and decoder bring out below -90 dB.
constexpr float kSilenceDb = -60.0f;
// Quiet runs shorter than this are dips inside sound, not silences (the shortest edge of a
// commercial unit is 0.1 s on each side).
constexpr int64_t kMinSilenceMs = 100;

struct Silence {
  int64_t startMs = 0;   // first silent window
  int64_t endMs = 0;     // end of the last silent window
  int64_t lengthMs() const { return endMs - startMs; }
  int64_t middleMs() const { return (startMs + endMs) / 2; }
};

// Receives each silence once it has ended (sound came back, or the audio ended).
class SilenceSink {
 public:
  virtual void OnSilence(const Silence& silence) = 0;

 protected:
  ~SilenceSink() = default;
};

// Sums the power of the samples into 10-ms windows and tracks the runs of silent windows. The
// clock is set from the stream's time stamps; between them it advances with the samples.
class SilenceFinder final : public AudioSink {
 public:
  explicit SilenceFinder(SilenceSink& sink) : sink_(sink) {}

  // The time of the next sample. A clock that moves by less than a window from where the samples
  // have brought it is left alone (time stamps are exact only to a frame); a larger move (a gap
  // or a jump in the stream) starts a new window there and ends a silence in progress.
  void SetClock(int64_t ms);
  void OnAudio(const float* power, int count, int rate) override;
  // The audio has ended: a silence in progress ends with it.
  void Finish();

  // The mean power of the last finished window in dB (for tests and figures).
  float lastLevelDb() const { return lastDb_; }
  int64_t windows() const { return windows_; }

 private:
  void CloseWindow();

  SilenceSink& sink_;
  bool clockSet_ = false;
  int64_t windowStartMs_ = 0;   // time of the current window's first sample
  int64_t samplesInWindow_ = 0;
  int64_t samplesPerWindow_ = 0;
  double sum_ = 0;
  int rate_ = 0;
  bool inSilence_ = false;
  Silence current_;
  float lastDb_ = 0;
  int64_t windows_ = 0;
};

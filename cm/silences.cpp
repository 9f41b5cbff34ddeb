// Levels and silences: mean power per 10-ms window, compared with the silence threshold.
#include "cm/silences.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void SilenceFinder::SetClock(int64_t ms) {
  if (!clockSet_) {
    clockSet_ = true;
    windowStartMs_ = ms;
    return;
  }
  const int64_t here = windowStartMs_ + (rate_ > 0 ? samplesInWindow_ * 1000 / rate_ : 0);
  if (std::llabs(ms - here) < kLevelStepMs) return;
  // A jump: the window in progress is dropped, a silence in progress ends where the sound did.
  if (inSilence_) {
    inSilence_ = false;
    if (current_.lengthMs() >= kMinSilenceMs) sink_.OnSilence(current_);
  }
  windowStartMs_ = ms;
  samplesInWindow_ = 0;
  sum_ = 0;
}

void SilenceFinder::OnAudio(const float* power, int count, int rate) {
  if (rate <= 0) return;
  if (rate != rate_) {
    rate_ = rate;
    samplesPerWindow_ = int64_t(rate) * kLevelStepMs / 1000;
    samplesInWindow_ = 0;
    sum_ = 0;
  }
  clockSet_ = true;
  for (int i = 0; i < count;) {
    const int take = int(std::min<int64_t>(count - i, samplesPerWindow_ - samplesInWindow_));
    double sum = 0;
    for (int k = 0; k < take; ++k) sum += power[i + k];
    sum_ += sum;
    samplesInWindow_ += take;
    i += take;
    if (samplesInWindow_ == samplesPerWindow_) CloseWindow();
  }
}

void SilenceFinder::CloseWindow() {
  const double mean = sum_ / double(samplesPerWindow_);
  lastDb_ = mean > 1e-12 ? float(10.0 * std::log10(mean)) : -120.0f;
  ++windows_;
  const int64_t endMs = windowStartMs_ + kLevelStepMs;
  if (lastDb_ < kSilenceDb) {
    if (!inSilence_) {
      inSilence_ = true;
      current_.startMs = windowStartMs_;
    }
    current_.endMs = endMs;
  } else if (inSilence_) {
    inSilence_ = false;
    if (current_.lengthMs() >= kMinSilenceMs) sink_.OnSilence(current_);
  }
  windowStartMs_ = endMs;
  samplesInWindow_ = 0;
  sum_ = 0;
}

void SilenceFinder::Finish() {
  if (inSilence_ && current_.lengthMs() >= kMinSilenceMs) sink_.OnSilence(current_);
  inSilence_ = false;
}

#include "analysis/live_loudness.h"

namespace varn {

namespace {
double Stored(const std::optional<double>& v, double none) { return v ? *v : none; }
}  // namespace

bool LiveLoudness::Start(int32_t rate, int channels) {
  // Exact figures (no histogram bins): an hour's blocks take about 1.3 MB,
  // and the meter starts afresh every hour.
  meter_ = LoudnessMeter(rate, channels, LoudnessMeter::kLoudnessAll);
  framesSinceWhole_ = 0;
  secondsSinceRange_ = 0;
  Clear();
  return meter_.Valid();
}

void LiveLoudness::Add(const int16_t* interleaved, size_t frames) {
  if (!meter_.Valid()) return;
  meter_.Add(interleaved, frames);
  framesSinceWhole_ += frames;
  const bool second = framesSinceWhole_ >= static_cast<size_t>(meter_.SampleRate());
  if (second) framesSinceWhole_ = 0;
  Publish(second);
}

LoudnessFigures LiveLoudness::EndHour() {
  const LoudnessFigures figures = meter_.Figures();
  meter_.Reset();
  framesSinceWhole_ = 0;
  secondsSinceRange_ = 0;
  Clear();
  return figures;
}

LoudnessFigures LiveLoudness::Stop() {
  const LoudnessFigures figures = meter_.Figures();
  meter_ = LoudnessMeter();
  Clear();
  return figures;
}

void LiveLoudness::Publish(bool newSecond) {
  momentary_.store(Stored(meter_.Momentary(), kNone), std::memory_order_relaxed);
  shortTerm_.store(Stored(meter_.ShortTerm(), kNone), std::memory_order_relaxed);
  truePeak_.store(Stored(meter_.TruePeak(), kNone), std::memory_order_relaxed);
  if (!newSecond) return;
  // The integrated loudness goes over the hour's blocks once a second; the
  // range sorts them, so it is worked out every ten seconds of audio.
  integrated_.store(Stored(meter_.Integrated(), kNone), std::memory_order_relaxed);
  if (++secondsSinceRange_ < kRangeEverySeconds) return;
  secondsSinceRange_ = 0;
  range_.store(Stored(meter_.Range(), kNone), std::memory_order_relaxed);
}

void LiveLoudness::Clear() {
  for (auto* a : {&momentary_, &shortTerm_, &integrated_, &range_, &truePeak_})
    a->store(kNone, std::memory_order_relaxed);
}

LoudnessReadings LiveLoudness::Read() const {
  auto get = [](const std::atomic<double>& a) -> std::optional<double> {
    const double v = a.load(std::memory_order_relaxed);
    if (v == kNone) return std::nullopt;
    return v;
  };
  return {get(momentary_), get(shortTerm_), get(integrated_), get(range_), get(truePeak_)};
}

}  // namespace varn

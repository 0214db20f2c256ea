#include "analysis/live_loudness.h"

namespace varn {

namespace {
double Stored(const std::optional<double>& v, double none) { return v ? *v : none; }
}  // namespace

bool LiveLoudness::Start(int32_t rate, int channels) {
  // The histogram keeps the memory constant however long an hour runs.
  meter_ = LoudnessMeter(rate, channels, LoudnessMeter::kLoudnessAll | LoudnessMeter::kHistogram);
  framesSinceWhole_ = 0;
  Clear();
  return meter_.Valid();
}

void LiveLoudness::Add(const int16_t* interleaved, size_t frames) {
  if (!meter_.Valid()) return;
  meter_.Add(interleaved, frames);
  framesSinceWhole_ += frames;
  const bool whole = framesSinceWhole_ >= static_cast<size_t>(meter_.SampleRate());
  if (whole) framesSinceWhole_ = 0;
  Publish(whole);
}

LoudnessFigures LiveLoudness::EndHour() {
  const LoudnessFigures figures = meter_.Figures();
  meter_.Reset();
  framesSinceWhole_ = 0;
  Clear();
  return figures;
}

LoudnessFigures LiveLoudness::Stop() {
  const LoudnessFigures figures = meter_.Figures();
  meter_ = LoudnessMeter();
  Clear();
  return figures;
}

void LiveLoudness::Publish(bool wholeHour) {
  momentary_.store(Stored(meter_.Momentary(), kNone), std::memory_order_relaxed);
  shortTerm_.store(Stored(meter_.ShortTerm(), kNone), std::memory_order_relaxed);
  truePeak_.store(Stored(meter_.TruePeak(), kNone), std::memory_order_relaxed);
  if (!wholeHour) return;
  integrated_.store(Stored(meter_.Integrated(), kNone), std::memory_order_relaxed);
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

#include "analysis/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <shared_mutex>
#include <utility>

// The maxima of momentary and short-term loudness are taken on the 100 ms
// grid that libebur128 lays from the first frame for its own gating blocks:
// at the end of every 100 ms of audio the K-weighted energy of those 100 ms
// goes into a ring, and the means of the newest 4 and 30 are the momentary
// and short-term loudness of the windows ending there. Ten readings a second
// is what an R128 meter shows, and the maximum momentary loudness is then
// that of the loudest block the integrated loudness is gated on. Steady
// sound, and any burst short enough to fit one grid window (300 ms for
// momentary), read exactly; only sound whose loudness changes within 100 ms
// can peak between two readings, by at most 3 dB in theory and about 1 dB
// for two sharp 100 ms bursts 200 ms apart. Reading the 100 ms energy costs
// one pass over the filtered samples, where asking libebur128 for the
// momentary and short-term loudness every 100 ms would cost 4 and 30. The
// current momentary and short-term loudness are the newest readings, so a
// meter drawn every frame costs nothing more.

namespace varn {

namespace {

// Guards libebur128's globals, which every ebur128_init writes.
std::shared_mutex& LibraryLock() {
  static std::shared_mutex lock;
  return lock;
}

// R128's absolute gate, in libebur128's energy terms.
const double kGateEnergy = std::pow(10.0, (-70.0 + 0.691) / 10.0);

ebur128_state* Lib(void* state) { return static_cast<ebur128_state*>(state); }

double EnergyToLufs(double energy) { return 10.0 * std::log10(energy) - 0.691; }

std::optional<double> Figure(int result, double value) {
  if (result != EBUR128_SUCCESS || !std::isfinite(value)) return std::nullopt;
  return value;
}

int LibraryModes(unsigned modes) {
  int m = EBUR128_MODE_M;
  if (modes & LoudnessMeter::kHistogram) m |= EBUR128_MODE_HISTOGRAM;
  if (modes & LoudnessMeter::kShortTerm) m |= EBUR128_MODE_S;
  if (modes & LoudnessMeter::kIntegrated) m |= EBUR128_MODE_I;
  if (modes & LoudnessMeter::kRange) m |= EBUR128_MODE_LRA;
  return m;
}

}  // namespace

LoudnessMeter::LoudnessMeter(int32_t sampleRate, int channels, unsigned modes)
    : sampleRate_(sampleRate), channels_(channels), modes_(modes & (kLoudnessAll | kHistogram)) {
  if ((channels != 1 && channels != 2) || sampleRate < 16) return;
  Create();
}

LoudnessMeter::~LoudnessMeter() { Destroy(); }

LoudnessMeter::LoudnessMeter(LoudnessMeter&& other) noexcept { *this = std::move(other); }

LoudnessMeter& LoudnessMeter::operator=(LoudnessMeter&& other) noexcept {
  if (this == &other) return *this;
  Destroy();
  state_ = std::exchange(other.state_, nullptr);
  sampleRate_ = other.sampleRate_;
  channels_ = other.channels_;
  modes_ = other.modes_;
  truePeak_ = std::move(other.truePeak_);
  framesPerSubBlock_ = other.framesPerSubBlock_;
  framesInSubBlock_ = other.framesInSubBlock_;
  subBlocksDone_ = other.subBlocksDone_;
  std::copy(std::begin(other.subBlockEnergy_), std::end(other.subBlockEnergy_), subBlockEnergy_);
  momentaryEnergy_ = other.momentaryEnergy_;
  shortTermEnergy_ = other.shortTermEnergy_;
  momentaryMaxEnergy_ = other.momentaryMaxEnergy_;
  shortTermMaxEnergy_ = other.shortTermMaxEnergy_;
  rangeGated_ = other.rangeGated_;
  return *this;
}

void LoudnessMeter::Create() {
  {
    std::unique_lock lock(LibraryLock());
    state_ = ebur128_init(static_cast<unsigned>(channels_), static_cast<unsigned long>(sampleRate_),
                          LibraryModes(modes_));
  }
  if (state_ && channels_ == 1 && ebur128_set_channel(Lib(state_), 0, EBUR128_DUAL_MONO) != 0)
    Destroy();
  if (modes_ & kTruePeak) truePeak_ = TruePeakMeter(sampleRate_, channels_);
  // libebur128's own rounding of 100 ms, so both grids stay in step.
  framesPerSubBlock_ = (static_cast<size_t>(sampleRate_) + 5) / 10;
  framesInSubBlock_ = 0;
  subBlocksDone_ = 0;
  std::fill(std::begin(subBlockEnergy_), std::end(subBlockEnergy_), 0.0);
  momentaryEnergy_ = 0.0;
  shortTermEnergy_ = 0.0;
  momentaryMaxEnergy_ = 0.0;
  shortTermMaxEnergy_ = 0.0;
  rangeGated_ = false;
}

void LoudnessMeter::Destroy() {
  if (!state_) return;
  ebur128_state* s = Lib(state_);
  ebur128_destroy(&s);  // touches no global
  state_ = nullptr;
}

void LoudnessMeter::Reset() {
  if (!state_) return;
  Destroy();
  Create();
}

void LoudnessMeter::Add(const int16_t* interleaved, size_t frames) {
  if (!state_ || frames == 0) return;
  if (modes_ & kTruePeak) truePeak_.Add(interleaved, frames);
  std::shared_lock lock(LibraryLock());
  // Cut at every 100 ms point of the grid, where the sub-block is read.
  while (frames > 0) {
    const size_t piece = std::min(frames, framesPerSubBlock_ - framesInSubBlock_);
    ebur128_add_frames_short(Lib(state_), interleaved, piece);
    interleaved += piece * static_cast<size_t>(channels_);
    frames -= piece;
    framesInSubBlock_ += piece;
    if (framesInSubBlock_ == framesPerSubBlock_) CloseSubBlock();
  }
}

void LoudnessMeter::CloseSubBlock() {
  framesInSubBlock_ = 0;
  ++subBlocksDone_;
  if (!(modes_ & (kMomentary | kShortTerm | kRange))) return;
  double lufs = 0.0;
  double energy = 0.0;
  if (ebur128_loudness_window(Lib(state_), 100, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
    energy = std::pow(10.0, (lufs + 0.691) / 10.0);
  subBlockEnergy_[subBlocksDone_ % kSubBlocks] = energy;

  auto meanOfNewest = [this](int count) {
    double sum = 0.0;
    for (int k = 0; k < count; ++k) sum += subBlockEnergy_[(subBlocksDone_ - k) % kSubBlocks];
    return sum / count;
  };
  if ((modes_ & kMomentary) && subBlocksDone_ >= 4) {
    momentaryEnergy_ = meanOfNewest(4);
    momentaryMaxEnergy_ = std::max(momentaryMaxEnergy_, momentaryEnergy_);
  }
  if (subBlocksDone_ >= kSubBlocks && (modes_ & (kShortTerm | kRange))) {
    const double shortTerm = meanOfNewest(kSubBlocks);
    if (modes_ & kShortTerm) {
      shortTermEnergy_ = shortTerm;
      shortTermMaxEnergy_ = std::max(shortTermMaxEnergy_, shortTerm);
    }
    // libebur128 takes a 3 s block for the range every second from 3 s on.
    if ((subBlocksDone_ - kSubBlocks) % 10 == 0 && shortTerm >= kGateEnergy) rangeGated_ = true;
  }
}

std::optional<double> LoudnessMeter::Momentary() const {
  if (!state_ || momentaryEnergy_ <= 0.0) return std::nullopt;
  return EnergyToLufs(momentaryEnergy_);
}

std::optional<double> LoudnessMeter::ShortTerm() const {
  if (!state_ || shortTermEnergy_ <= 0.0) return std::nullopt;
  return EnergyToLufs(shortTermEnergy_);
}

std::optional<double> LoudnessMeter::Integrated() const {
  if (!state_ || !(modes_ & kIntegrated)) return std::nullopt;
  std::shared_lock lock(LibraryLock());
  double v = 0.0;
  const int r = ebur128_loudness_global(Lib(state_), &v);
  return Figure(r, v);
}

std::optional<double> LoudnessMeter::Range() const {
  // libebur128 reads a range of 0 where no 3 s block passed the gate.
  if (!state_ || !(modes_ & kRange) || !rangeGated_) return std::nullopt;
  std::shared_lock lock(LibraryLock());
  double v = 0.0;
  const int r = ebur128_loudness_range(Lib(state_), &v);
  return Figure(r, v);
}

std::optional<double> LoudnessMeter::TruePeak() const {
  if (!state_ || !(modes_ & kTruePeak) || truePeak_.Peak() <= 0.0) return std::nullopt;
  return 20.0 * std::log10(truePeak_.Peak());
}

std::optional<double> LoudnessMeter::MomentaryMax() const {
  if (!state_ || momentaryMaxEnergy_ <= 0.0) return std::nullopt;
  return EnergyToLufs(momentaryMaxEnergy_);
}

std::optional<double> LoudnessMeter::ShortTermMax() const {
  if (!state_ || shortTermMaxEnergy_ <= 0.0) return std::nullopt;
  return EnergyToLufs(shortTermMaxEnergy_);
}

LoudnessFigures LoudnessMeter::Figures() const {
  return LoudnessFigures{Integrated(), Range(), MomentaryMax(), ShortTermMax(), TruePeak()};
}

}  // namespace varn

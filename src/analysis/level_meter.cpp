#include "analysis/level_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/level_math.h"
#include "util/numeric.h"

namespace varn {

namespace {
constexpr double kFullScale = 32767.0;
const LevelRecord kSilentRecord{};

int32_t ClampWindow(int64_t length) {
  return static_cast<int32_t>(std::clamp<int64_t>(length, 2, kMaxLevelWindow));
}
}  // namespace

double RmsDb(double sumOfSquares, int64_t count) {
  if (sumOfSquares == 0.0 || count <= 0) return kNoSignalDb;
  return LinearToDb(
      static_cast<float>(std::sqrt(sumOfSquares / static_cast<double>(count)) / kFullScale));
}

double PeakDb(int32_t largestMagnitude) {
  if (largestMagnitude == 0) return kNoSignalDb;
  return LinearToDb(static_cast<float>(largestMagnitude / kFullScale));
}

LevelRecord BlockLevels(std::span<const Frame> block, bool stereoCapture) {
  // Integer sums of squares are exact, so they equal the double sums for
  // any block shorter than a few minutes of full scale.
  int32_t maxL = 0;
  int32_t maxR = 0;
  int64_t sumL = 0;
  int64_t sumR = 0;
  for (const Frame& f : block) {
    const int32_t l = f.L;
    const int32_t r = f.R;
    maxL = std::max(maxL, l < 0 ? -l : l);
    maxR = std::max(maxR, r < 0 ? -r : r);
    sumL += l * l;
    sumR += r * r;
  }
  if (!stereoCapture) {
    maxR = 0;
    sumR = 0;
  }
  const auto count = static_cast<int64_t>(block.size());
  return LevelRecord{RmsDb(static_cast<double>(sumL), count),
                     RmsDb(static_cast<double>(sumR), count), PeakDb(maxL), PeakDb(maxR)};
}

void LevelWindow::Reset(int32_t size) {
  entries_.assign(size > 0 ? size : 0, kSilentRecord);
  oldest_ = 0;
}

void LevelWindow::Push(const LevelRecord& record) {
  if (entries_.empty()) return;
  entries_[oldest_] = record;
  oldest_ = (oldest_ + 1 == Size()) ? 0 : oldest_ + 1;
}

const LevelRecord& LevelWindow::At(int32_t k) const {
  if (k < 0 || k >= Size()) return kSilentRecord;
  const int32_t i = oldest_ + k;
  return entries_[i >= Size() ? i - Size() : i];
}

const LevelRecord& LevelWindow::Newest() const { return At(Size() - 1); }

double LevelWindow::MeanRmsL() const {
  if (entries_.empty()) return kNoSignalDb;
  double sum = 0.0;
  for (int32_t k = 0; k < Size(); ++k) sum += At(k).RmsL;
  return sum / Size();
}

double LevelWindow::MeanRmsR() const {
  if (entries_.empty()) return kNoSignalDb;
  double sum = 0.0;
  for (int32_t k = 0; k < Size(); ++k) sum += At(k).RmsR;
  return sum / Size();
}

double LevelWindow::MaxPeakL() const {
  double m = kNoSignalDb;
  for (const LevelRecord& r : entries_) m = std::max(m, r.PeakL);
  return m;
}

double LevelWindow::MaxPeakR() const {
  double m = kNoSignalDb;
  for (const LevelRecord& r : entries_) m = std::max(m, r.PeakR);
  return m;
}

int32_t MeterWindowLength(int32_t sampleRate, int32_t segmentLength) {
  if (segmentLength < 1) return 2;
  const int64_t frames = RoundToInt32(sampleRate * 0.3);
  return ClampWindow(frames / segmentLength + 1);
}

int32_t HoldWindowLength(int32_t sampleRate, int32_t segmentLength, float peakHoldSec) {
  if (segmentLength < 1) return 2;
  const int64_t frames = RoundToInt32(sampleRate * static_cast<double>(peakHoldSec));
  return ClampWindow(frames / segmentLength);
}

LevelRecord MeasureLevels(MeterState& state, std::span<const Frame> block, bool stereoCapture,
                          float peakHoldSec, MeterTextMode textMode, StereoMode stereoMode,
                          MeterDrawing& drawing) {
  const LevelRecord record = BlockLevels(block, stereoCapture);
  state.MeterWindow.Push(record);
  const double rms[2] = {state.MeterWindow.MeanRmsL(), state.MeterWindow.MeanRmsR()};
  const double peak[2] = {state.MeterWindow.MaxPeakL(), state.MeterWindow.MaxPeakR()};
  double hold[2] = {0.0, 0.0};
  if (peakHoldSec > 0) {
    state.HoldWindow.Push(record);
    hold[0] = state.HoldWindow.MaxPeakL();
    hold[1] = state.HoldWindow.MaxPeakR();
  }

  drawing.count = 0;
  auto addBar = [&](int side) {
    const int bar = drawing.count++;
    const double shown = textMode == MeterTextMode::Peak   ? peak[side]
                         : textMode == MeterTextMode::Hold ? hold[side]
                                                           : rms[side];
    drawing.texts[bar] = MeterNumberText(shown);
    drawing.bars[bar] =
        VuBarValues{bar, static_cast<float>(rms[side]), static_cast<float>(peak[side]),
                    drawing.texts[bar].View(), static_cast<float>(hold[side])};
  };
  addBar(stereoMode == StereoMode::MonoRight ? kRightSide : kLeftSide);
  if (stereoMode == StereoMode::Stereo) addBar(kRightSide);
  return record;
}

}  // namespace varn

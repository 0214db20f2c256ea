#pragma once
// The loudness of a running line: a meter fed on one thread (the archive
// worker, with every block the archive gets) and read on any other. After
// each block the current figures are published as atomics, so the window,
// the metrics and the tick read them without waiting for the feeder.
// Integrated loudness and range cover the hour so far (the hour's file) and
// start afresh with the next one.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "analysis/loudness_figures.h"
#include "analysis/loudness_meter.h"
#include "util/thread_role.h"

namespace varn {

// What a reader sees; std::nullopt is a figure that does not exist (yet).
struct LoudnessReadings {
  std::optional<double> momentaryLufs;
  std::optional<double> shortTermLufs;
  std::optional<double> integratedLufs;
  std::optional<double> rangeLu;
  std::optional<double> truePeakDbtp;
};

class LiveLoudness {
 public:
  // While nothing feeds the meter: a fresh meter for a run of `channels`
  // 16-bit channels at `rate`. False (and nothing measured) for a format
  // the meter cannot take.
  bool Start(int32_t rate, int channels) VARN_ARCHIVE_THREAD;
  bool Measuring() const VARN_ARCHIVE_THREAD { return meter_.Valid(); }
  int Channels() const VARN_ARCHIVE_THREAD { return meter_.Channels(); }

  // ---- the feeding thread
  void Add(const int16_t* interleaved, size_t frames) VARN_ARCHIVE_THREAD;
  // The hour's figures; the meter starts afresh.
  LoudnessFigures EndHour() VARN_ARCHIVE_THREAD;
  // The run ended: the figures of the hour, and nothing is measured after.
  LoudnessFigures Stop() VARN_ARCHIVE_THREAD;

  // ---- any thread
  LoudnessReadings Read() const;

 private:
  void Publish(bool newSecond) VARN_ARCHIVE_THREAD;
  void Clear();

  // The feeding end: the meter and its counts are the archive thread's; the
  // reading end is the atomics below.
  LoudnessMeter meter_ VARN_ARCHIVE_OWNED;
  size_t framesSinceWhole_ VARN_ARCHIVE_OWNED = 0;  // the integrated loudness: once a second
  int secondsSinceRange_ VARN_ARCHIVE_OWNED = 0;    // the range every kRangeEverySeconds
  static constexpr int kRangeEverySeconds = 10;
  std::atomic<double> momentary_{kNone};
  std::atomic<double> shortTerm_{kNone};
  std::atomic<double> integrated_{kNone};
  std::atomic<double> range_{kNone};
  std::atomic<double> truePeak_{kNone};
  static constexpr double kNone = -1.0e300;
};

}  // namespace varn

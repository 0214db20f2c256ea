#pragma once
// What a running channel's input does between ticks, as the operator must
// be told: audio that stops arriving (and arrives again), and audio that was
// lost on the way (a capture ring that overflowed, an archive that could not
// take a block). Times are seconds on the engine's running clock, which only
// goes forward.

#include <cstdint>

namespace varn {

// Right after a start a device may stay silent a while (a PulseAudio
// monitor's first seconds): the timeout counts from this long after it.
inline constexpr double kInputGraceSec = 5.0;
// Losses closer together than this are one incident.
inline constexpr double kLossJoinSec = 1.0;

class InputWatch {
 public:
  enum class Change { None, Stalled, Resumed };

  void Start(double now);
  // The stream's progress as the tick sees it: buffers completed since the
  // start and bytes in the buffer being filled. Stalled once when nothing
  // came for `timeoutSec`; Resumed when something comes after that.
  Change Observe(uint64_t completed, uint32_t bytes, double now, double timeoutSec);
  // With Resumed: how long nothing came (from the last audio, or from the
  // start when there was none).
  double InterruptionSec() const { return interruption_; }
  bool Stalled() const { return stalled_; }

 private:
  double startedAt_ = 0.0;
  double lastDataAt_ = 0.0;
  bool hadData_ = false;
  bool stalled_ = false;
  double interruption_ = 0.0;
  uint64_t completed_ = 0;
  uint32_t bytes_ = 0;
};

class LossWatch {
 public:
  // `lostSoFar`: the count the run starts from; `framesPerSecond`: the
  // run's rate, for the running total in seconds.
  void Start(uint64_t lostSoFar, double framesPerSecond = 0.0);
  // `lostTotal` frames lost so far; returns the frames of an incident that
  // is over (no loss for kLossJoinSec), else 0.
  uint64_t Observe(uint64_t lostTotal, double now);
  // The channel stops: an incident still open ends here.
  uint64_t Finish();
  // Seconds lost over every run since the program started (a counter that
  // a restart does not set back).
  double LostSecondsTotal() const { return lostSeconds_; }

 private:
  uint64_t seen_ = 0;
  uint64_t incident_ = 0;
  double lastLossAt_ = 0.0;
  double rate_ = 0.0;
  double lostSeconds_ = 0.0;
};

}  // namespace varn

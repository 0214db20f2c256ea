#pragma once
// Where a run's audio belongs in time. An archive file must line up with
// the clock: a frame's place in it, over the rate, is when it was captured
// less when the file began. Audio that was lost on the way (an overrun, a
// block the archive lane could not take) or never arrived (a stalled input)
// leaves a hole in the frames, and the run is that far behind the clock;
// the timeline says how much silence fills it.
//
// Times are seconds on the steady clock. A block's capture time is
// estimated from when its last frame was seen; the estimate jitters by a
// device's delivery, so only a shortfall beyond kArchiveGapSec is filled.
// A device whose clock runs fast delivers more frames than time passes:
// the timeline then follows the device, so the shortfall is always measured
// against recent audio, never against a start long ago.

#include <cstdint>

namespace varn {

// Shortfalls up to this are the jitter of delivery, not a hole.
inline constexpr double kArchiveGapSec = 0.08;

class ArchiveTimeline {
 public:
  // A run at `rate` frames per second begins at `start`; nothing is placed
  // yet. A negative start: the first block anchors the run instead.
  void Start(uint32_t rate, double start = -1.0);
  bool Started() const { return rate_ > 0; }

  // A block of `frames` whose last frame was captured at `capturedEnd`:
  // the frames of silence that go before it (a device that delivers its
  // first audio late leaves silence at the start of the file: the file
  // begins when its name says).
  uint64_t BeforeBlock(uint64_t frames, double capturedEnd);
  // At `now`, with `inFlight` frames captured and not yet handed over: the
  // silence that brings the run up to the clock (nothing arrived for a
  // while), or 0.
  uint64_t CatchUp(double now, uint64_t inFlight);

  // Frames placed so far (audio and silence) and the silence among them.
  uint64_t Placed() const { return placed_; }
  uint64_t SilencePlaced() const { return silence_; }

 private:
  uint64_t Shortfall(double at, uint64_t frames);

  double rate_ = 0.0;
  bool anchored_ = false;
  double anchor_ = 0.0;  // when frame 0 of the run was captured
  uint64_t placed_ = 0;
  uint64_t silence_ = 0;
};

}  // namespace varn

#include <algorithm>
#include <cmath>
#include <vector>

#include "archive/pcm_file.h"
#include "audio/sim/sim_signal.h"

namespace varn {

namespace {

class FileSignal final : public SimSignal {
 public:
  FileSignal(std::unique_ptr<PcmFileReader> reader, int rate, int channels)
      : reader_(std::move(reader)),
        channels_(channels),
        sourceChannels_(reader_->Channels()),
        step_(static_cast<double>(reader_->SampleRate()) / rate) {}

  void Render(int16_t* out, size_t frames) override {
    if (step_ == 1.0) {
      RenderSameRate(out, frames);
      return;
    }
    for (size_t f = 0; f < frames; ++f) {
      if (!Available()) {
        std::fill(out, out + static_cast<size_t>(channels_) * (frames - f), int16_t{0});
        return;
      }
      const size_t i = static_cast<size_t>(position_);
      const double frac = position_ - static_cast<double>(i);
      const int16_t* a = &frames_[i * channels_];
      const int16_t* b = a + channels_;
      for (int c = 0; c < channels_; ++c)
        *out++ = frac == 0.0 ? a[c] : ToSample(a[c] + (b[c] - a[c]) * frac);
      position_ += step_;
    }
  }

 private:
  static constexpr size_t kChunkFrames = 4096;

  // The file's own rate: whole frames, copied in runs (the same samples the
  // frame-by-frame path gives, at a fraction of its cost).
  void RenderSameRate(int16_t* out, size_t frames) {
    while (frames > 0) {
      if (!Available()) {
        std::fill(out, out + static_cast<size_t>(channels_) * frames, int16_t{0});
        return;
      }
      const size_t at = static_cast<size_t>(position_);
      const size_t n = std::min(frames, frameCount_ - 1 - at);
      std::copy_n(&frames_[at * channels_], n * channels_, out);
      out += n * channels_;
      frames -= n;
      position_ += static_cast<double>(n);
    }
  }

  // True when frames floor(position) and the one after are in the buffer.
  bool Available() {
    if (static_cast<size_t>(position_) + 1 < frameCount_) return true;
    if (dead_) return false;
    // Keep what is still needed, then read on (from the start at the end).
    const size_t keepFrom = std::min(static_cast<size_t>(position_), frameCount_);
    frames_.erase(frames_.begin(),
                  frames_.begin() + static_cast<std::ptrdiff_t>(keepFrom * channels_));
    frameCount_ -= keepFrom;
    position_ -= static_cast<double>(keepFrom);
    while (static_cast<size_t>(position_) + 1 >= frameCount_) {
      if (!ReadChunk()) {
        dead_ = true;
        return false;
      }
    }
    return true;
  }

  bool ReadChunk() {
    raw_.resize(kChunkFrames * static_cast<size_t>(sourceChannels_));
    int64_t n = reader_->Read(raw_.data(), kChunkFrames);
    if (n < 0) return false;
    if (n == 0) {
      // End of the file: loop. A file with no frames at all plays silence.
      if (!reader_->Rewind()) return false;
      n = reader_->Read(raw_.data(), kChunkFrames);
      if (n <= 0) return false;
    }
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
      const int16_t* s = &raw_[i * sourceChannels_];
      if (channels_ == 1) {
        frames_.push_back(sourceChannels_ == 1 ? s[0] : static_cast<int16_t>((s[0] + s[1]) >> 1));
      } else {
        frames_.push_back(s[0]);
        frames_.push_back(sourceChannels_ == 1 ? s[0] : s[1]);
      }
    }
    frameCount_ += static_cast<size_t>(n);
    return true;
  }

  std::unique_ptr<PcmFileReader> reader_;
  int channels_;
  int sourceChannels_;
  double step_;
  std::vector<int16_t> raw_;
  std::vector<int16_t> frames_;  // converted to the output channels
  size_t frameCount_ = 0;
  double position_ = 0.0;
  bool dead_ = false;
};

}  // namespace

std::unique_ptr<SimSignal> MakeFileSignal(std::unique_ptr<PcmFileReader> reader, int rate,
                                          int channels) {
  return std::make_unique<FileSignal>(std::move(reader), rate, channels);
}

}  // namespace varn

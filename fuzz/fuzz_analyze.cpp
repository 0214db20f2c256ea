// One channel's analysis over arbitrary samples with arbitrary monitoring
// settings (hand-edited stores can hold anything): it must end without a
// fault whatever it is given.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/file_analysis.h"

namespace {

class BytesSource : public varn::PcmFileReader {
 public:
  BytesSource(int32_t rate, int32_t channels, const uint8_t* data, size_t size)
      : rate_(rate), channels_(channels), data_(data), frames_(size / (2 * channels)) {}
  int32_t SampleRate() const override { return rate_; }
  int32_t Channels() const override { return channels_; }
  int64_t Read(int16_t* d, int64_t frames) override {
    const int64_t n = std::min<int64_t>(frames, static_cast<int64_t>(frames_) - next_);
    std::memcpy(d, data_ + next_ * 2 * channels_, static_cast<size_t>(n) * 2 * channels_);
    next_ += n;
    return n;
  }
  bool Rewind() override {
    next_ = 0;
    return true;
  }

 private:
  int32_t rate_;
  int32_t channels_;
  const uint8_t* data_;
  size_t frames_;
  int64_t next_ = 0;
};

template <class T>
T Take(const uint8_t*& data, size_t& size) {
  T v{};
  if (size >= sizeof v) {
    std::memcpy(&v, data, sizeof v);
    data += sizeof v;
    size -= sizeof v;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  varn::FileAnalysisSetup setup;
  const uint8_t shape = Take<uint8_t>(data, size);
  const int32_t rate = 8000 + 4000 * (shape % 12);
  const int32_t channels = 1 + (shape >> 7);
  setup.stereoMode = varn::StereoModeFromInt(Take<int8_t>(data, size));
  setup.bitRate = (shape & 0x40) ? 160 : 0;
  setup.recLevelDb = Take<float>(data, size);
  setup.settings.peakHoldSec = Take<float>(data, size);
  setup.settings.fftAvrSec = Take<float>(data, size);
  setup.settings.maxGateLevel = Take<float>(data, size);
  setup.settings.minGateLevel = Take<float>(data, size);
  setup.settings.minGateSpan = Take<int32_t>(data, size);
  setup.settings.fftInfinite = Take<int8_t>(data, size);
  setup.settings.puchiSense = Take<int32_t>(data, size);
  setup.settings.puchiOkLength = Take<float>(data, size);
  setup.settings.fftSense = Take<int32_t>(data, size);
  BytesSource source(rate, channels, data, size);
  varn::AnalyseRecording(source, setup, [](const varn::FileEvent& e) {
    if (e.message.empty()) __builtin_trap();
  });
  return 0;
}

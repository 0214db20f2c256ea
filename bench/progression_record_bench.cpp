// ProgressionRecord with archiving on: the gain copy of one completed
// 13824-frame stereo buffer (an MP3 channel) and its hand-over to the
// archive, per frame. The virtual device is driven by hand outside the
// timed part.

#include <benchmark/benchmark.h>

#include <vector>

#include "audio/capture.h"
#include "audio/sim/sim_service.h"

namespace varn {
namespace {

class DiscardingRecorder final : public ChannelRecorder {
 public:
  int32_t StartArchive(const ArchiveStart& s) override { return s.bitRate; }
  void FeedBlock(int32_t, const uint8_t* bytes, int32_t byteCount) override {
    benchmark::DoNotOptimize(bytes);
    benchmark::DoNotOptimize(byteCount);
  }
  void StopArchive() override {}
};

void BM_ProgressionRecordArchiving(benchmark::State& state) {
  SimWaveService sim(SimPace::Manual);
  CaptureChannel cap;
  ArchiveChannel arc;
  DiscardingRecorder recorder;
  cap.SampleRate = 48000;
  cap.BitRate = 160;  // S = 13824
  cap.DeviceId = 1;   // pink noise: every sample differs
  cap.RecLevelDb = static_cast<float>(state.range(0));
  if (!StartCapture(0, cap, arc, sim, &recorder)) {
    state.SkipWithError("capture did not start");
    return;
  }
  const int frames = cap.SamplesPerBuffer;
  for (auto _ : state) {
    state.PauseTiming();
    sim.Produce(1, static_cast<size_t>(frames));
    state.ResumeTiming();
    benchmark::DoNotOptimize(ProgressionRecord(0, cap, arc, true, &recorder));
  }
  state.SetItemsProcessed(state.iterations() * frames);
  // Seconds per frame: printed with an SI prefix, "2.5n" is 2.5 ns.
  state.counters["per_frame"] = benchmark::Counter(
      static_cast<double>(frames),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  StopCapture(0, cap, arc, &recorder);
}
BENCHMARK(BM_ProgressionRecordArchiving)->Arg(0)->Arg(6)->Unit(benchmark::kMicrosecond);

// The gain copy alone, over one 13824-frame stereo block.
void BM_GainCopy(benchmark::State& state) {
  std::vector<int16_t> source(2 * 13824);
  for (size_t i = 0; i < source.size(); ++i)
    source[i] = static_cast<int16_t>(i * 2654435761u >> 16);
  std::vector<int16_t> target(source.size());
  for (auto _ : state) {
    GainCopy(source.data(), target.data(), source.size(), 1.4125f);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 13824);
}
BENCHMARK(BM_GainCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varn

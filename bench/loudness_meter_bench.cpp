// The cost of the loudness meter per 48000 Hz frame, fed as the archive
// worker feeds it: one capture buffer (13824 frames, MP3 or WAV archive) at
// a time. Counters: ns_per_frame, and cpu_8x48k_pct, the percent of one core
// that eight 48000 Hz lines would take. Arguments: channels, and 1 with the
// true peak (everything measured), 0 without it (to show its share).

#include <benchmark/benchmark.h>

#include <time.h>

#include <random>
#include <vector>

#include "analysis/loudness_meter.h"

namespace varn {
namespace {

constexpr int kRate = 48000;
constexpr int kBufferFrames = 13824;
constexpr double kEightLinesFramesPerSecond = 8.0 * kRate;

// The thread's own processor time: the machine may be shared.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Ten seconds of noise around -20 dBFS, looped.
std::vector<int16_t> Noise(int channels) {
  std::mt19937 gen(11);
  std::normal_distribution<double> noise(0.0, 3000.0);
  std::vector<int16_t> s(static_cast<size_t>(kRate) * 10 * channels);
  for (int16_t& v : s) v = static_cast<int16_t>(std::clamp(noise(gen), -32767.0, 32767.0));
  return s;
}

void BM_LoudnessMeter(benchmark::State& state) {
  const int channels = static_cast<int>(state.range(0));
  const unsigned modes = state.range(1) ? LoudnessMeter::kLoudnessAll
                                        : LoudnessMeter::kLoudnessAll & ~LoudnessMeter::kTruePeak;
  const std::vector<int16_t> noise = Noise(channels);
  const size_t buffers = noise.size() / channels / kBufferFrames;
  LoudnessMeter meter(kRate, channels, modes);
  size_t b = 0;
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    meter.Add(noise.data() + b * kBufferFrames * channels, kBufferFrames);
    b = (b + 1) % buffers;
  }
  benchmark::DoNotOptimize(meter.Integrated());
  const double nsPerFrame = (ThreadCpuSeconds() - cpuStart) * 1e9 /
                            (static_cast<double>(state.iterations()) * kBufferFrames);
  state.SetItemsProcessed(state.iterations() * kBufferFrames);
  state.counters["ns_per_frame"] = nsPerFrame;
  state.counters["cpu_8x48k_pct"] = nsPerFrame * 1e-9 * kEightLinesFramesPerSecond * 100.0;
}
BENCHMARK(BM_LoudnessMeter)
    ->ArgNames({"channels", "true_peak"})
    ->Args({2, 1})
    ->Args({2, 0})
    ->Args({1, 1});

// The figures an hourly line or a meter reading asks for, after an hour of
// programme: the exact measurement walks its 36000 blocks (and sorts 3600
// for the range), the histogram its 1000 bins. Argument: 1 with kHistogram.
void BM_LoudnessFigures(benchmark::State& state) {
  const std::vector<int16_t> noise = Noise(2);
  LoudnessMeter meter(
      kRate, 2, LoudnessMeter::kLoudnessAll | (state.range(0) ? LoudnessMeter::kHistogram : 0u));
  for (int k = 0; k < 360; ++k) meter.Add(noise.data(), noise.size() / 2);
  for (auto _ : state) benchmark::DoNotOptimize(meter.Figures());
}
BENCHMARK(BM_LoudnessFigures)->ArgName("histogram")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace varn

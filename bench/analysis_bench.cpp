// The cost of analysing one channel: conversion, spectrum and spectrum
// change, click detector, low-level monitor, levels and over-level, per
// frame, and of one 2048-point transform. The figure that matters is the
// share of one core that eight 192000 Hz stereo channels would take
// (counter cpu_8x192k_pct: percent of one core). Then the parts that were
// made faster on their own: the click detector on clean and on rough
// material, and a recording analysed as `varn analyze` does it (counter
// realtime_x: seconds of audio per second of processor time).

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "analysis/c_fft.h"
#include "analysis/channel_analysis.h"
#include "analysis/click_detector.h"
#include "analysis/file_analysis.h"
#include "archive/pcm_file.h"
#include "util/clock.h"

namespace varn {
namespace {

constexpr double kEightChannelsFramesPerSecond = 8.0 * 192000.0;

// The thread's own processor time: the machine may be shared, and only the
// analysis's own work counts.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

class CountingEvents : public AnalysisEvents {
 public:
  void Event(std::string_view, int, int) override { ++count; }
  long count = 0;
};

// Programme-like stereo material: a tone whose pitch wanders, noise, and a
// level that changes every fraction of a second, so every detector works.
std::vector<int16_t> Programme(int rate, int frames) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> noise(-3000, 3000);
  std::vector<int16_t> s(static_cast<size_t>(frames) * 2);
  for (int n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / rate;
    const double level = (static_cast<int>(t * 3) % 2) ? 12000.0 : 2000.0;
    const double tone = level * std::sin(2 * M_PI * (300 + 200 * std::sin(t)) * t);
    s[2 * n] = static_cast<int16_t>(tone + noise(gen));
    s[2 * n + 1] = static_cast<int16_t>(0.7 * tone + noise(gen));
  }
  return s;
}

// args: sample rate, frames per capture buffer (S).
void BM_ChannelAnalysis(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const int s = static_cast<int>(state.range(1));
  MonitorSettings settings;
  ManualClock clock;
  CountingEvents events;
  const AnalysisContext ctx{&settings, &clock, &events, nullptr};
  ChannelAnalysis analysis;
  analysis.Start(AnalysisFormat{rate, 2, 16, s}, settings);
  analysis.TickCount = 100;
  const int seg = analysis.SegmentLength();
  const int blocks = 60;
  const std::vector<int16_t> programme = Programme(rate, seg * blocks);
  int b = 0;
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    const auto block = analysis.Convert(programme.data() + static_cast<size_t>(b) * seg * 2, 0.0f);
    benchmark::DoNotOptimize(analysis.AnalyseBlock(0, block, ctx));
    b = (b + 1) % blocks;
  }
  const double nsPerFrame =
      (ThreadCpuSeconds() - cpuStart) * 1e9 / (static_cast<double>(state.iterations()) * seg);
  state.SetItemsProcessed(state.iterations() * seg);
  state.counters["ns_per_frame"] = nsPerFrame;
  state.counters["cpu_8x192k_pct"] = nsPerFrame * 1e-9 * kEightChannelsFramesPerSecond * 100.0;
}
// 48000 Hz (both archive kinds give S = 13824); 192000 Hz with a WAV archive
// (S = 55296) and with the MP3 buffer length (S = 13824: four times as many
// blocks per second, the dearest case).
BENCHMARK(BM_ChannelAnalysis)->Args({48000, 13824})->Args({192000, 55296})->Args({192000, 13824});

// arg: 1 for the two-at-a-time butterflies a processor without 256-bit
// registers takes.
void BM_FourierTransform(benchmark::State& state) {
  C_FFT fft;
  fft.Init(2048);
  if (state.range(0) == 1) fft.UseTwoWide();
  std::mt19937 gen(1);
  std::uniform_real_distribution<double> d(-6553.4, 6553.4);
  for (int i = 0; i < 2048; ++i) fft.RealIn(i, d(gen));
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    fft.FourierTransform();
    benchmark::DoNotOptimize(fft.RealOut(17));
  }
  state.counters["ns_per_transform"] =
      (ThreadCpuSeconds() - cpuStart) * 1e9 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FourierTransform)->Arg(0)->Arg(1);

// arg 0: a clean tone, where no step comes near the threshold and every
// frame after the lockout is searched; arg 1: rough noise, where a click is
// found as soon as each side's lockout (1 s) runs out.
void BM_ClickDetector(benchmark::State& state) {
  constexpr int kRate = 48000;
  constexpr int kSegment = 2304;
  std::vector<Frame> frames(static_cast<size_t>(kRate) * 4);
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> noise(-12000, 12000);
  for (size_t n = 0; n < frames.size(); ++n) {
    const auto tone = static_cast<int16_t>(3000 * std::sin(2 * M_PI * 1000.0 * n / kRate));
    frames[n] = state.range(0) == 0
                    ? Frame{tone, tone}
                    : Frame{static_cast<int16_t>(noise(gen)), static_cast<int16_t>(noise(gen))};
  }
  const LevelRecord level{-20.0, -20.0, -14.0, -14.0};
  const ClickInputs in{100, StereoMode::Stereo, level, 16, kRate, 50, 1.0f};
  ClickDetector detector;
  CountingEvents events;
  size_t at = 0;
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    detector.Process(0, std::span<const Frame>(frames.data() + at, kSegment), in, &events);
    at = (at + kSegment) % (frames.size() - kSegment);
  }
  state.counters["ns_per_frame"] =
      (ThreadCpuSeconds() - cpuStart) * 1e9 / (static_cast<double>(state.iterations()) * kSegment);
  state.counters["clicks_per_s"] = static_cast<double>(events.count) * kRate /
                                   (static_cast<double>(state.iterations()) * kSegment);
}
BENCHMARK(BM_ClickDetector)->Arg(0)->Arg(1);

// A recording held in memory, so only the analysis is timed.
class MemoryRecording final : public PcmFileReader {
 public:
  MemoryRecording(int rate, std::vector<int16_t> samples)
      : rate_(rate), samples_(std::move(samples)) {}
  int32_t SampleRate() const override { return rate_; }
  int32_t Channels() const override { return 2; }
  int64_t Read(int16_t* out, int64_t frames) override {
    const int64_t n = std::min<int64_t>(frames, Frames() - position_);
    std::copy_n(samples_.data() + position_ * 2, n * 2, out);
    position_ += n;
    return n;
  }
  bool Rewind() override {
    position_ = 0;
    return true;
  }
  int64_t Frames() const { return static_cast<int64_t>(samples_.size() / 2); }

 private:
  int rate_;
  std::vector<int16_t> samples_;
  int64_t position_ = 0;
};

// 60 s of 48000 Hz stereo programme through AnalyseRecording with the
// default settings, as `varn analyze` runs it.
void BM_AnalyseRecording(benchmark::State& state) {
  constexpr int kRate = 48000;
  constexpr int kSeconds = 60;
  MemoryRecording recording(kRate, Programme(kRate, kRate * kSeconds));
  const FileAnalysisSetup setup;
  long events = 0;
  const double cpuStart = ThreadCpuSeconds();
  for (auto _ : state) {
    recording.Rewind();
    const FileAnalysisResult r =
        AnalyseRecording(recording, setup, [&](const FileEvent&) { ++events; });
    benchmark::DoNotOptimize(r.levelMax);
  }
  const double cpu = (ThreadCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  state.counters["realtime_x"] = kSeconds / cpu;
  state.counters["ns_per_frame"] = cpu * 1e9 / recording.Frames();
  state.counters["events"] = static_cast<double>(events) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AnalyseRecording)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varn

// EncProc on the archive's capture blocks: 13824 stereo frames at 44100 Hz
// and 160 kbit/s. The "x_realtime" counter is how many times faster than
// the audio plays the encoder runs (eight channels need well above 8).

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "archive/mp3acm.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 13824;

void BM_EncProcBlock(benchmark::State& state) {
  const auto kbps = static_cast<int32_t>(state.range(0));
  varn::WavInfo w;
  w.Valid = 1;
  w.SampleRate = kRate;
  w.Channels = 2;
  w.BitsPerSample = 16;
  w.BlockAlign = 4;
  varn::C_mp3acm codec;
  if (!codec.EncInit(kbps, &w)) {
    state.SkipWithError("encoder will not open");
    return;
  }
  codec.EncSizeFixed(1);
  // Programme-like material: two tones and a little noise, so the encoder
  // works as hard as on real audio.
  std::vector<int16_t> pcm(static_cast<size_t>(kFrames) * 2);
  uint32_t noise = 12345;
  for (int i = 0; i < kFrames; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const double v = 6000 * std::sin(i * 0.0627) + 3000 * std::sin(i * 0.4113) +
                     static_cast<int16_t>(noise >> 16) / 16.0;
    pcm[2 * static_cast<size_t>(i)] = static_cast<int16_t>(v);
    pcm[2 * static_cast<size_t>(i) + 1] = static_cast<int16_t>(-v);
  }
  std::vector<uint8_t> out(static_cast<size_t>(kbps) * 182 + 1);
  int32_t used = 0;
  int32_t produced = 0;
  for (auto _ : state) {
    codec.EncProc(reinterpret_cast<const uint8_t*>(pcm.data()), kFrames * 4, out, used, produced);
    benchmark::DoNotOptimize(produced);
  }
  const double audioSeconds = static_cast<double>(state.iterations()) * kFrames / kRate;
  state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
  state.SetBytesProcessed(state.iterations() * kFrames * 4);
}
BENCHMARK(BM_EncProcBlock)->Arg(160)->Arg(320)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace

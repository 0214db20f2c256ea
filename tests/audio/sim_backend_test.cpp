// The header queue every backend shares, and the virtual devices: their
// list, their signals, files played in a loop, and failures.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <numeric>
#include <thread>

#include "archive/wav_file.h"
#include "audio/sim/sim_service.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"

namespace varn {
namespace {

struct Buffer {
  explicit Buffer(size_t bytes) : bytes(bytes, 0xAA) {
    header.data = this->bytes.data();
    header.bufferLength = static_cast<uint32_t>(bytes);
  }
  std::vector<uint8_t> bytes;
  WaveHeader header;
};

TEST(HeaderQueue, FillsHeadersInQueueOrderAndCountsOverruns) {
  HeaderQueue q;
  q.SetFrameBytes(4);
  Buffer a(8), b(8);
  EXPECT_EQ(q.Add(a.header), kWaveErrUnprepared);
  ASSERT_EQ(q.Prepare(a.header), kWaveOk);
  ASSERT_EQ(q.Prepare(b.header), kWaveOk);
  ASSERT_EQ(q.Add(a.header), kWaveOk);
  EXPECT_EQ(q.Add(a.header), kWaveErrStillPlaying);
  EXPECT_EQ(q.Unprepare(a.header), kWaveErrStillPlaying);
  ASSERT_EQ(q.Add(b.header), kWaveOk);

  const uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(q.Fill(data, 4), 0u);
  EXPECT_EQ(a.header.BytesRecorded(), 4u);
  EXPECT_FALSE(a.header.Done());
  EXPECT_EQ(q.Fill(data + 4, 8), 0u);  // the rest of a, then half of b
  EXPECT_TRUE(a.header.Done());
  EXPECT_FALSE(HeaderQueue::IsQueued(a.header));
  EXPECT_EQ(std::vector<uint8_t>(a.bytes.begin(), a.bytes.end()),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(b.bytes[0], 9);
  EXPECT_EQ(b.header.BytesRecorded(), 4u);

  // 4 bytes complete b, 8 find no header; a hole keeps counting.
  EXPECT_EQ(q.Fill(data, 12), 8u);
  EXPECT_EQ(q.Fill(nullptr, 4), 4u);
  EXPECT_TRUE(q.TakeOverruns().empty());  // still running
  ASSERT_EQ(q.Add(a.header), kWaveOk);
  EXPECT_EQ(a.header.BytesRecorded(), 0u);
  EXPECT_FALSE(a.header.Done());
  q.Fill(nullptr, 4);  // silence goes in; the overrun is over
  EXPECT_EQ(a.bytes[0], 0);
  EXPECT_EQ(q.TakeOverruns(), std::vector<uint64_t>{3});
  EXPECT_TRUE(q.TakeOverruns().empty());
}

TEST(HeaderQueue, ResetReturnsEveryHeaderAndStopOnlyAStartedOne) {
  HeaderQueue q;
  Buffer a(8), b(8);
  q.Prepare(a.header);
  q.Prepare(b.header);
  q.Add(a.header);
  q.Add(b.header);
  q.CompletePartial();  // nothing recorded yet: nothing returned
  EXPECT_FALSE(a.header.Done());
  const uint8_t two[2] = {5, 6};
  q.Fill(two, 2);
  q.CompletePartial();
  EXPECT_TRUE(a.header.Done());
  EXPECT_EQ(a.header.BytesRecorded(), 2u);
  EXPECT_FALSE(b.header.Done());
  q.Fill(nullptr, 100);  // 92 bytes lost
  q.ReturnAll();
  EXPECT_TRUE(b.header.Done());
  EXPECT_TRUE(q.Empty());
  EXPECT_EQ(q.TakeOverruns(), std::vector<uint64_t>{92});  // the reset ended it
  EXPECT_EQ(q.Unprepare(b.header), kWaveOk);
  EXPECT_EQ(q.Add(b.header), kWaveErrUnprepared);
}

TEST(HeaderQueue, DrainsWrittenHeadersInOrderAndMarksThemDoneWhenWhollyHandedOver) {
  HeaderQueue q;
  Buffer a(6), empty(0), b(4);
  std::iota(a.bytes.begin(), a.bytes.end(), 1);
  std::iota(b.bytes.begin(), b.bytes.end(), 20);
  for (Buffer* x : {&a, &empty, &b}) {
    q.Prepare(x->header);
    q.Add(x->header);
  }
  std::vector<uint8_t> out;
  auto sink = [&](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); };
  EXPECT_EQ(q.Drain(4, sink), 4u);
  EXPECT_FALSE(a.header.Done());
  EXPECT_EQ(q.Drain(4, sink), 4u);
  EXPECT_TRUE(a.header.Done());
  EXPECT_TRUE(empty.header.Done());  // nothing to hand over: done on the way
  EXPECT_FALSE(b.header.Done());
  EXPECT_EQ(q.Drain(100, sink), 2u);
  EXPECT_TRUE(b.header.Done());
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 20, 21, 22, 23}));
}

// The hand-off between a program's thread and a device's thread, as it
// runs: a counter written by one thread arrives whole and in order through
// headers the other keeps queuing again. A sanitizer sees both sides.
TEST(HeaderQueue, AThreadFillsWhatAnotherQueuesAgainWithNothingLostOrReordered) {
  constexpr int kHeaders = 4;
  constexpr uint32_t kBytes = 64;
  constexpr uint32_t kTotal = 20000 * kBytes;
  HeaderQueue q;
  std::deque<Buffer> buffers;
  for (int i = 0; i < kHeaders; ++i) buffers.emplace_back(kBytes);
  for (Buffer& b : buffers) ASSERT_EQ(q.Prepare(b.header), kWaveOk);
  for (Buffer& b : buffers) ASSERT_EQ(q.Add(b.header), kWaveOk);

  std::thread device([&] {
    uint8_t chunk[12];
    for (uint32_t value = 0; value < kTotal;) {
      if (q.Empty()) {
        std::this_thread::yield();
        continue;
      }
      // Odd-sized pieces cross header boundaries.
      const uint32_t n = std::min<uint32_t>(sizeof chunk, kTotal - value);
      for (uint32_t i = 0; i < n; ++i) chunk[i] = static_cast<uint8_t>((value + i) * 7);
      const size_t lost = q.Fill(chunk, n);
      value += n - static_cast<uint32_t>(lost);
      if (lost > 0) std::this_thread::yield();
    }
  });

  uint32_t expected = 0;
  int next = 0;
  bool intact = true;
  while (expected < kTotal && intact) {
    Buffer& b = buffers[static_cast<size_t>(next)];
    if (!b.header.Done()) {
      std::this_thread::yield();
      continue;
    }
    for (uint32_t i = 0; i < kBytes && intact; ++i)
      intact = b.bytes[i] == static_cast<uint8_t>((expected + i) * 7);
    expected += kBytes;
    q.Add(b.header);
    next = (next + 1) % kHeaders;
  }
  device.join();
  EXPECT_TRUE(intact) << "bytes out of order near " << expected;
  EXPECT_EQ(expected, kTotal);
}

TEST(HeaderQueue, PreparingMakesRoomForEveryHeaderWhileNothingIsQueued) {
  HeaderQueue q;
  std::deque<Buffer> buffers;
  for (int i = 0; i < 100; ++i) buffers.emplace_back(4);
  for (Buffer& b : buffers) ASSERT_EQ(q.Prepare(b.header), kWaveOk);
  for (Buffer& b : buffers) ASSERT_EQ(q.Add(b.header), kWaveOk);
  EXPECT_EQ(q.Size(), 100u);

  // With headers queued a full ring cannot grow: a further header is
  // refused, not squeezed in.
  HeaderQueue small;
  std::deque<Buffer> few;
  for (int i = 0; i < 17; ++i) few.emplace_back(4);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(small.Prepare(few[i].header), kWaveOk);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(small.Add(few[i].header), kWaveOk);
  EXPECT_EQ(small.Prepare(few[16].header), kWaveErrNoMem);
  small.ReturnAll();
  EXPECT_EQ(small.Prepare(few[16].header), kWaveOk);
}

TEST(FailureFlag, KeepsTheFirstReason) {
  FailureFlag f;
  EXPECT_FALSE(f.Failed());
  EXPECT_EQ(f.Reason(), "");
  f.Set("unplugged");
  f.Set("and then the server went");
  EXPECT_TRUE(f.Failed());
  EXPECT_EQ(f.Reason(), "unplugged");
  FailureFlag g;
  g.Set(std::string(1000, 'x'));  // cut to its buffer, never beyond
  EXPECT_EQ(g.Reason().size(), 255u);
}

TEST(SimDevices, ListTheBuiltInSignalsThenTheFilesByName) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, dir / "b.wav", 0));
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, dir / "a.WAV", 0));
  test::WriteText(dir / "notes.txt", "not audio");
  test::WriteText(dir / "c.mp3", "listed by its name; opened only when used");
  SimWaveService sim(SimPace::Manual, dir.Path());
  ASSERT_EQ(sim.DeviceCount(true), 8);
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i) names.push_back(sim.DeviceName(true, i));
  EXPECT_EQ(names, (std::vector<std::string>{"Sim Tone 1kHz", "Sim Pink Noise", "Sim Programme",
                                             "Sim Silence", "Sim Ramp", "Sim File a.WAV",
                                             "Sim File b.wav", "Sim File c.mp3"}));
  EXPECT_EQ(sim.DeviceCount(false), 1);
  EXPECT_EQ(sim.DeviceName(false, 0), "Sim Null Output");
  EXPECT_EQ(sim.DeviceName(true, 8), "");
  // A file added later appears at the next reading of the list.
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, dir / "c.wav", 0));
  EXPECT_EQ(sim.DeviceCount(true), 9);
  EXPECT_EQ(SimWaveService(SimPace::Manual, dir / "missing").DeviceCount(true), 5);
}

TEST(SimDevices, OpenFailuresNameTheDeviceAndTheReason) {
  SimWaveService sim(SimPace::Manual);
  std::shared_ptr<WaveInStream> in;
  WaveFormat eightBit = Pcm16Format(44100, 2);
  eightBit.bitsPerSample = 8;
  eightBit.blockAlign = 2;
  EXPECT_EQ(sim.OpenIn(1, eightBit, in), kWaveErrBadFormat);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(sim.ErrorText(kWaveErrBadFormat, false),
            "Cannot open the input device \"Sim Pink Noise\": the format 44100 Hz, 2 channel(s), "
            "8-bit is not 16-bit PCM mono or stereo.");
  EXPECT_EQ(sim.OpenIn(9, Pcm16Format(44100, 2), in), kWaveErrBadDeviceId);
  EXPECT_EQ(sim.ErrorText(kWaveErrBadDeviceId, false),
            "Cannot open input device number 9: there are 5 virtual input devices.");
  // The other side keeps its own last error.
  EXPECT_EQ(sim.ErrorText(kWaveErrBadDeviceId, true),
            "There is no audio output device with that number.");
  EXPECT_EQ(sim.OpenIn(kDefaultDevice, Pcm16Format(44100, 2), in), kWaveOk);
  EXPECT_EQ(in->DeviceName(), "Sim Programme");  // the default input
}

// Renders `seconds` of a built-in signal, left channel, at 8000 Hz.
std::vector<int16_t> Render(SimSignalKind kind, double seconds, int channels = 1) {
  auto signal = MakeSimSignal(kind, 8000, channels);
  std::vector<int16_t> all(static_cast<size_t>(seconds * 8000) * channels);
  signal->Render(all.data(), all.size() / channels);
  std::vector<int16_t> left;
  for (size_t i = 0; i < all.size(); i += channels) left.push_back(all[i]);
  return left;
}

double RmsDb(const std::vector<int16_t>& v, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(v[i]) * v[i];
  return 20 * std::log10(std::sqrt(sum / static_cast<double>(to - from)) / 32767);
}

TEST(SimSignals, HaveTheirAdvertisedLevels) {
  const auto tone = Render(SimSignalKind::Tone, 1);
  EXPECT_EQ(*std::max_element(tone.begin(), tone.end()), 3277);
  EXPECT_NEAR(RmsDb(tone, 0, tone.size()), -23.0, 0.1);  // a -20 dBFS peak sine
  const auto pink = Render(SimSignalKind::PinkNoise, 2);
  EXPECT_NEAR(RmsDb(pink, 0, pink.size()), -20.0, 3.0);
  const auto silence = Render(SimSignalKind::Silence, 0.1, 2);
  EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](int16_t v) { return v == 0; }));
  const auto ramp = Render(SimSignalKind::Ramp, 9, 2);  // 72000 frames: wraps once
  for (size_t i = 1; i < ramp.size(); ++i)
    ASSERT_EQ(static_cast<uint16_t>(ramp[i] - ramp[i - 1]), 1u) << i;
}

TEST(SimSignals, TheProgrammeGivesEveryDetectorSomethingToFind) {
  const auto p = Render(SimSignalKind::Programme, 30);
  auto at = [](double sec) { return static_cast<size_t>(sec * 8000); };
  // Pauses of digital silence, longer than the low-level window.
  for (size_t i = at(8.0); i < at(9.0); ++i) ASSERT_EQ(p[i], 0) << i;
  for (size_t i = at(17.0); i < at(18.0); ++i) ASSERT_EQ(p[i], 0) << i;
  // A burst to full scale.
  EXPECT_EQ(*std::max_element(p.begin() + at(13.0), p.begin() + at(13.4)), 32767);
  EXPECT_LT(*std::max_element(p.begin(), p.begin() + at(8.0)), 20001);
  // Clicks: a sudden upward step far above the programme around them.
  EXPECT_GT(p[at(4.0)] - p[at(4.0) - 1], 10000);
  EXPECT_GT(p[at(24.5)] - p[at(24.5) - 1], 10000);
  // Music at a sensible level on both sides of the timbre change.
  EXPECT_GT(RmsDb(p, at(1), at(7)), -30);
  EXPECT_GT(RmsDb(p, at(10), at(12)), -30);
  // The cycle repeats.
  auto signal = MakeSimSignal(SimSignalKind::Programme, 8000, 1);
  std::vector<int16_t> twice(at(35));
  signal->Render(twice.data(), twice.size());
  EXPECT_EQ(twice[at(30) + at(4.0)], p[at(4.0)]);
}

class SimFileTest : public ::testing::Test {
 protected:
  // Opens "Sim File NAME" in `format` and produces `frames` frames into one
  // buffer; returns the samples.
  std::vector<int16_t> Capture(const std::string& name, const WaveFormat& format, size_t frames) {
    SimWaveService sim(SimPace::Manual, dir.Path());
    const int count = sim.DeviceCount(true);
    int id = -1;
    for (int i = 0; i < count; ++i)
      if (sim.DeviceName(true, i) == "Sim File " + name) id = i;
    EXPECT_GE(id, 0);
    std::shared_ptr<WaveInStream> in;
    EXPECT_EQ(sim.OpenIn(id, format, in), kWaveOk) << sim.ErrorText(kWaveErrDeviceFailed, false);
    if (!in) return {};
    std::vector<int16_t> samples(frames * format.channels);
    WaveHeader h;
    h.data = reinterpret_cast<uint8_t*>(samples.data());
    h.bufferLength = static_cast<uint32_t>(samples.size() * 2);
    in->Prepare(h);
    in->AddBuffer(h);
    in->Start();
    sim.Produce(id, frames);
    EXPECT_TRUE(h.Done());
    in->Close();
    return samples;
  }
  test::TempDir dir;
};

TEST_F(SimFileTest, PlaysInALoopInTheRequestedChannelLayout) {
  test::WriteBytes(dir / "m.wav", test::WavBytes(8000, 16, 1, {10, 20, 30}));
  EXPECT_EQ(Capture("m.wav", Pcm16Format(8000, 2), 5),
            (std::vector<int16_t>{10, 10, 20, 20, 30, 30, 10, 10, 20, 20}));
  test::WriteBytes(dir / "s.wav", test::WavBytes(8000, 16, 2, {100, 300, -100, -301}));
  EXPECT_EQ(Capture("s.wav", Pcm16Format(8000, 1), 3), (std::vector<int16_t>{200, -201, 200}));
}

TEST_F(SimFileTest, ConvertsTheRateByInterpolation) {
  test::WriteBytes(dir / "hi.wav", test::WavBytes(16000, 16, 1, {0, 5, 10, 15, 20, 25, 30, 35}));
  EXPECT_EQ(Capture("hi.wav", Pcm16Format(8000, 1), 4), (std::vector<int16_t>{0, 10, 20, 30}));
  test::WriteBytes(dir / "lo.wav", test::WavBytes(4000, 16, 1, {0, 100, 200, 300}));
  EXPECT_EQ(Capture("lo.wav", Pcm16Format(8000, 1), 6),
            (std::vector<int16_t>{0, 50, 100, 150, 200, 250}));
}

TEST_F(SimFileTest, AnEmptyFilePlaysSilenceAndABrokenOneWillNotOpen) {
  ASSERT_TRUE(WriteWavHeader(8000, 16, 1, dir / "empty.wav", 0));
  EXPECT_EQ(Capture("empty.wav", Pcm16Format(8000, 1), 3), (std::vector<int16_t>{0, 0, 0}));

  test::WriteText(dir / "broken.wav", "not a wav file at all");
  SimWaveService sim(SimPace::Manual, dir.Path());
  std::shared_ptr<WaveInStream> in;
  ASSERT_EQ(sim.DeviceCount(true), 7);
  EXPECT_EQ(sim.OpenIn(5, Pcm16Format(8000, 1), in), kWaveErrDeviceFailed);
  EXPECT_EQ(sim.ErrorText(kWaveErrDeviceFailed, false),
            "Cannot open the input device \"Sim File broken.wav\": the file cannot be read as a "
            "WAV file.");
}

TEST(SimStreams, DeliverOnlyWhileStartedAndReturnBuffersOnReset) {
  SimWaveService sim(SimPace::Manual);
  std::shared_ptr<WaveInStream> in;
  ASSERT_EQ(sim.OpenIn(4, Pcm16Format(8000, 1), in), kWaveOk);
  std::vector<int16_t> samples(4);
  WaveHeader h;
  h.data = reinterpret_cast<uint8_t*>(samples.data());
  h.bufferLength = 8;
  in->Prepare(h);
  in->AddBuffer(h);
  EXPECT_EQ(sim.Produce(4, 4), 1);  // not started: nothing arrives
  EXPECT_EQ(h.BytesRecorded(), 0u);
  in->Start();
  sim.Produce(4, 2);
  EXPECT_EQ(h.BytesRecorded(), 4u);
  in->Stop();  // hands back the partly filled buffer
  EXPECT_TRUE(h.Done());
  in->AddBuffer(h);
  in->Reset();
  EXPECT_TRUE(h.Done());
  EXPECT_EQ(in->Close(), kWaveOk);
  EXPECT_EQ(in->Close(), kWaveErrInvalidHandle);
  EXPECT_EQ(in->AddBuffer(h), kWaveErrInvalidHandle);
  in.reset();
  EXPECT_EQ(sim.Produce(4, 4), 0);  // streams no one holds are forgotten
}

TEST(SimStreams, AnOutputOnASlowerClockPlaysItsShareOfWhatIsAsked) {
  SimWaveService sim(SimPace::Manual);
  sim.SetOutputRate(0.75);
  std::shared_ptr<WaveOutStream> out;
  ASSERT_EQ(sim.OpenOut(kDefaultDevice, Pcm16Format(8000, 1), out), kWaveOk);
  std::vector<uint8_t> bytes(200);
  WaveHeader h;
  h.data = bytes.data();
  h.bufferLength = 200;
  out->Prepare(h);
  ASSERT_EQ(out->Write(h), kWaveOk);
  // 7.5 frames of every 10: whole frames, the half carried over.
  for (const size_t frames : {7u, 8u, 7u, 8u}) {
    sim.Consume(10);
    EXPECT_EQ(sim.TakePlayed().size(), 2 * frames);
  }
}

TEST(SimStreams, TheNullOutputPlaysAtItsOwnPace) {
  SimWaveService sim(SimPace::RealTime);
  std::shared_ptr<WaveOutStream> out;
  ASSERT_EQ(sim.OpenOut(kDefaultDevice, Pcm16Format(8000, 2), out), kWaveOk);
  std::vector<uint8_t> bytes(400);
  WaveHeader h;
  h.data = bytes.data();
  h.bufferLength = 400;  // 100 frames: 12.5 ms
  out->Prepare(h);
  ASSERT_EQ(out->Write(h), kWaveOk);
  for (int i = 0; i < 1000 && !h.Done(); ++i)  // gives up after about 10 s
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(h.Done());
  EXPECT_EQ(out->Close(), kWaveOk);
}

}  // namespace
}  // namespace varn

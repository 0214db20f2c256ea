// The capture ring against virtual devices driven by hand: which buffers are
// handled and in what order, what the archive receives, and what reaches
// the diagnostics file.

#include "audio/capture.h"

#include <gtest/gtest.h>

#include "audio/sim/sim_service.h"
#include "audio_test_support.h"
#include "util/error_catch.h"

namespace varn {
namespace {

constexpr int kRampDevice = 4;
constexpr int kRate = 8000;  // S = 2304, B = 10 for a WAV archive of 3 s
constexpr int kS = 2304;
constexpr int kB = 10;

class CaptureTest : public ::testing::Test {
 protected:
  bool Start(int formatCode = 3, int bitRate = 0, int device = kRampDevice) {
    cap.FormatCode = formatCode;
    cap.SampleRate = kRate;
    cap.BitRate = bitRate;
    cap.BufferSec = 3;
    cap.DeviceId = device;
    return StartCapture(0, cap, arc, sim, &rec);
  }
  void Produce(size_t frames) { sim.Produce(kRampDevice, frames); }
  int Poll(bool archiveOn = true) { return ProgressionRecord(0, cap, arc, archiveOn, &rec); }
  // Left sample of frame f of block i.
  int16_t Left(int i, int f) const { return cap.Block(i)[static_cast<size_t>(f) * 2]; }

  test::LogCapture log;
  test::NoticeRecorder notices;
  SimWaveService sim{SimPace::Manual};
  CaptureChannel cap;
  ArchiveChannel arc;
  test::FakeRecorder rec;
};

TEST_F(CaptureTest, StartsWithTheRingSizedAndEveryBufferQueued) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(arc.Capturing, 1);
  EXPECT_EQ(cap.SamplesPerBuffer, kS);
  EXPECT_EQ(cap.BufferCount, kB);
  EXPECT_EQ(cap.Format.channels, 2);
  EXPECT_EQ(cap.Format.blockAlign, 4);
  EXPECT_EQ(cap.Format.avgBytesPerSec, 32000u);
  EXPECT_EQ(cap.NextBuffer, 0);
  EXPECT_EQ(cap.Segments.segmentLength, kS / 6);
  for (int i = 0; i < kB; ++i) {
    EXPECT_EQ(cap.Headers[i].data, reinterpret_cast<uint8_t*>(cap.Block(i)));
    EXPECT_EQ(cap.Headers[i].bufferLength, 4u * kS);
    EXPECT_TRUE(HeaderQueue::IsQueued(cap.Headers[i]));
  }
  ASSERT_EQ(rec.starts.size(), 1u);
  const ArchiveStart& s = rec.starts[0];
  EXPECT_EQ(s.rate, kRate);
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.blockAlign, 4);
  EXPECT_EQ(s.samplesPerBuffer, kS);
  EXPECT_TRUE(s.archiveOn);
  EXPECT_EQ(cap.RecordBlocks.size(), cap.SampleBlocks.size());
  EXPECT_EQ(Poll(), -1);  // nothing recorded yet
}

TEST_F(CaptureTest, BuffersCompleteInOrderAndGoBackInTheQueue) {
  ASSERT_TRUE(Start());
  Produce(kS * 2 + kS / 2);
  EXPECT_GT(cap.Headers[2].BytesRecorded(), 0u);  // filling while still queued
  EXPECT_EQ(Poll(), 1);
  EXPECT_EQ(cap.NextBuffer, 2);
  EXPECT_TRUE(HeaderQueue::IsQueued(cap.Headers[0]));
  EXPECT_EQ(Left(0, 0), 0);
  EXPECT_EQ(Left(1, 0), kS);
  EXPECT_EQ(Left(1, kS - 1), 2 * kS - 1);

  // Round the ring: buffer 0 is filled again after buffer 9.
  for (int i = 0; i < kB; ++i) {
    Produce(kS);
    Poll();
  }
  EXPECT_EQ(cap.NextBuffer, 2);
  EXPECT_EQ(cap.BuffersCompleted, 12u);  // the count goes on round the ring
  EXPECT_EQ(Left(0, 0), static_cast<int16_t>(kB * kS));
  EXPECT_TRUE(log.DiagnosticLines().empty());

  std::vector<int32_t> order;
  for (const auto& f : rec.fed) order.push_back(f.bufferIndex);
  EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1}));
}

TEST_F(CaptureTest, SeveralDoneBuffersAreHandledInOneCallWithoutIrregularEntries) {
  ASSERT_TRUE(Start());
  Produce(kS * 3);
  EXPECT_EQ(Poll(), 2);
  Produce(kS * 2);  // buffers 3 and 4
  EXPECT_EQ(Poll(), 4);
  EXPECT_EQ(cap.NextBuffer, 5);
  EXPECT_TRUE(log.DiagnosticLines().empty());
  ASSERT_EQ(rec.fed.size(), 5u);
  EXPECT_EQ(rec.fed[3].bufferIndex, 3);
  EXPECT_EQ(rec.fed[4].bufferIndex, 4);
}

TEST_F(CaptureTest, AnOutOfOrderCompletionIsLoggedAndNextBufferStepsByOne) {
  ASSERT_TRUE(Start());
  Produce(kS * 3);
  Poll();
  Produce(kS * 2);
  // The driver has not returned buffer 3 yet, only buffer 4.
  cap.Headers[3].flags.fetch_and(~kWaveDone);
  EXPECT_EQ(Poll(), 4);
  EXPECT_EQ(cap.NextBuffer, 4);
  EXPECT_EQ(log.DiagnosticLines(), std::vector<std::string>{"Buffer irregular 4#3"});

  // Buffer 3 turns up late: found on the way round, logged, one step more.
  cap.Headers[3].flags.fetch_or(kWaveDone);
  EXPECT_EQ(Poll(), 3);
  EXPECT_EQ(cap.NextBuffer, 5);
  EXPECT_EQ(cap.BuffersCompleted, 5u);
  EXPECT_EQ(log.DiagnosticLines().back(), "Buffer irregular 3#4");
}

TEST_F(CaptureTest, TheArchiveGetsExactlySFramesPerBufferAndTheStopClosesIt) {
  ASSERT_TRUE(Start());
  Produce(kS * 2 + 100);
  Poll();
  ASSERT_EQ(rec.fed.size(), 2u);
  for (const auto& f : rec.fed) EXPECT_EQ(f.samples.size(), 2u * kS);
  EXPECT_EQ(rec.fed[1].samples[0], kS);  // left
  EXPECT_EQ(rec.fed[1].samples[1], kS);  // right

  StopCapture(0, cap, arc, &rec);
  EXPECT_EQ(rec.stops, 1);
  EXPECT_EQ(arc.Capturing, 0);
  EXPECT_EQ(cap.Device, nullptr);
  EXPECT_EQ(rec.fed.size(), 2u);  // the partly filled buffer is dropped
  EXPECT_EQ(Poll(), -1);
  StopCapture(0, cap, arc, &rec);  // a second stop does not stop the archive twice
  EXPECT_EQ(rec.stops, 1);
}

TEST_F(CaptureTest, TheArchiveDecidesTheBitRate) {
  rec.bitRateToReturn = 0;  // the encoder would not start: plain PCM then
  ASSERT_TRUE(Start(3, 160));
  EXPECT_EQ(rec.starts[0].bitRate, 160);
  EXPECT_EQ(cap.BitRate, 0);
  EXPECT_EQ(cap.SamplesPerBuffer, 13824);  // sized for MP3 before the archive spoke
  EXPECT_EQ(cap.BufferCount, 2);
}

TEST_F(CaptureTest, WithoutArchivingNothingIsCopiedUntilArchivingIsSwitchedOn) {
  arc.ArcOn = 0;
  ASSERT_TRUE(Start());
  EXPECT_FALSE(rec.starts[0].archiveOn);
  EXPECT_TRUE(cap.RecordBlocks.empty());
  Produce(kS);
  EXPECT_EQ(Poll(false), 0);
  EXPECT_TRUE(rec.fed.empty());
  Produce(kS);
  EXPECT_EQ(Poll(true), 1);
  ASSERT_EQ(rec.fed.size(), 1u);
  EXPECT_EQ(rec.fed[0].samples[0], kS);
}

TEST_F(CaptureTest, ArchiveCopySaturatesAndFollowsTheGain) {
  ASSERT_TRUE(Start());
  // The ramp reaches 32766, 32767, -32768, -32767 at frames 32766..32769:
  // buffer 14 (ring slot 4), frames 510..513.
  for (int i = 0; i < 15; ++i) {
    Produce(kS);
    Poll();
  }
  const auto& f = rec.fed.back();
  ASSERT_EQ(f.bufferIndex, 4);
  ASSERT_EQ(Left(4, 510), 32766);
  EXPECT_EQ(f.samples[2 * 510], 32766);
  EXPECT_EQ(f.samples[2 * 511], 32767);
  EXPECT_EQ(f.samples[2 * 512], -32767);  // -32768 at 0 dB
  EXPECT_EQ(f.samples[2 * 513 + 1], -32767);
  EXPECT_EQ(cap.Block(4)[2 * 512], -32768);  // the analysis still sees the original

  // +6 dB is x 1.99526. Buffer 21 (ring slot 1) holds -17152 .. -14849.
  cap.RecLevelDb = 6.0f;
  for (int i = 15; i < 22; ++i) {
    Produce(kS);
    Poll();
  }
  const auto& g = rec.fed.back();
  ASSERT_EQ(g.bufferIndex, 1);
  ASSERT_EQ(Left(1, 768), -16384);
  EXPECT_EQ(g.samples[2 * 768], -32690);
  EXPECT_EQ(g.samples[2 * 730], -32766);  // -16422 gives 32765.9: not above 32766
  EXPECT_EQ(g.samples[2 * 729], -32767);  // -16423 clips
  EXPECT_EQ(g.samples[0], -32767);
  EXPECT_EQ(g.samples[2 * (kS - 1)], -29628);

  cap.RecLevelDb = -110.0f;
  Produce(kS);
  Poll();
  for (const int16_t v : rec.fed.back().samples) ASSERT_EQ(v, 0);
}

TEST(GainCopy, RoundsHalvesToEvenAndSaturatesBothWays) {
  const std::vector<int16_t> in = {1, 3, 5, -1, -3, -5, 7};
  std::vector<int16_t> out(in.size());
  GainCopy(in.data(), out.data(), in.size(), 0.5f);
  EXPECT_EQ(out, (std::vector<int16_t>{0, 2, 2, 0, -2, -2, 4}));

  const std::vector<int16_t> loud = {32767, -32768, 32766, -32766, 0, 100};
  out.resize(loud.size());
  GainCopy(loud.data(), out.data(), loud.size(), 1.0f);
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32767, 32766, -32766, 0, 100}));
  GainCopy(loud.data(), out.data(), loud.size(), std::numeric_limits<float>::infinity());
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32767, 32767, -32767, 0, 32767}));
  GainCopy(loud.data(), out.data(), loud.size(), std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(out, (std::vector<int16_t>(loud.size(), 0)));
}

TEST_F(CaptureTest, AnOverrunIsLoggedOnceWithItsFrameCountWhenItEnds) {
  ASSERT_TRUE(Start());
  Produce(kS * kB + 500);  // the ring is full: 500 frames find no buffer
  EXPECT_EQ(Poll(), 9);
  EXPECT_TRUE(log.DiagnosticLines().empty());  // still running: no count yet
  Produce(10);
  Poll();
  EXPECT_EQ(log.DiagnosticLines(),
            std::vector<std::string>{"Capture overrun ch1 (Sim Ramp): 500 frames lost"});
  EXPECT_EQ(cap.LostFrames, 500u);
  EXPECT_EQ(Left(0, 0), static_cast<int16_t>(kS * kB + 500));  // the gap shows in the signal

  // An overrun still running at the stop is reported by the stop.
  Produce(kS * kB - 10 + 7);
  StopCapture(0, cap, arc, &rec);
  EXPECT_EQ(log.DiagnosticLines().back(), "Capture overrun ch1 (Sim Ramp): 7 frames lost");
  EXPECT_EQ(log.DiagnosticLines().size(), 2u);
}

TEST_F(CaptureTest, AFailedDeviceIsReportedOnceAndTheEngineCanAsk) {
  ASSERT_TRUE(Start());
  Produce(kS);
  EXPECT_FALSE(CaptureDeviceFailed(cap));
  sim.FailDevice(true, kRampDevice, "the device was unplugged");
  EXPECT_TRUE(CaptureDeviceFailed(cap));
  EXPECT_EQ(Poll(), 0);  // what was complete is still handled
  Produce(kS);           // a failed device delivers nothing more
  EXPECT_EQ(Poll(), -1);
  EXPECT_EQ(
      log.DiagnosticLines(),
      std::vector<std::string>{"Capture device failed ch1 (Sim Ramp): the device was unplugged"});
  StopCapture(0, cap, arc, &rec);
  EXPECT_EQ(arc.Capturing, 0);
  EXPECT_FALSE(CaptureDeviceFailed(cap));

  // It stays away until it is back.
  EXPECT_FALSE(Start());
  sim.RestoreDevice(true, kRampDevice);
  EXPECT_TRUE(Start());
}

TEST_F(CaptureTest, AFormatTheDeviceRefusesShowsItsErrorAndLeavesTheChannelStopped) {
  EXPECT_FALSE(Start(1));  // 8-bit stereo
  EXPECT_EQ(arc.Capturing, 0);
  EXPECT_EQ(cap.Device, nullptr);
  ASSERT_EQ(notices.texts.size(), 1u);
  EXPECT_NE(notices.texts[0].find("\"Sim Ramp\""), std::string::npos) << notices.texts[0];
  EXPECT_NE(notices.texts[0].find("not 16-bit PCM"), std::string::npos);
  EXPECT_EQ(notices.titles[0], "varn");
  EXPECT_EQ(notices.icons[0], NoticeIcon::None);
  EXPECT_TRUE(rec.starts.empty());  // no archive for a format that cannot record
  EXPECT_EQ(Poll(), -1);
}

TEST_F(CaptureTest, AMissingDeviceShowsItsErrorAndStartsNoArchive) {
  EXPECT_FALSE(Start(3, 0, 42));
  ASSERT_EQ(notices.texts.size(), 1u);
  EXPECT_NE(notices.texts[0].find("input device number 42"), std::string::npos) << notices.texts[0];
  // A start that fails leaves nothing behind: no file is even named.
  EXPECT_TRUE(rec.starts.empty());
  EXPECT_EQ(rec.stops, 0);
  EXPECT_EQ(arc.Capturing, 0);
}

TEST_F(CaptureTest, ImpossibleSizesAreRefusedWithADiagnosticsLine) {
  cap.SampleRate = 0;
  cap.FormatCode = 3;
  cap.DeviceId = kRampDevice;
  EXPECT_FALSE(StartCapture(0, cap, arc, sim, &rec));
  cap.SampleRate = kRate;
  cap.BufferSec = 0;
  EXPECT_FALSE(StartCapture(0, cap, arc, sim, &rec));
  cap.BufferSec = 2000000000;
  EXPECT_FALSE(StartCapture(1, cap, arc, sim, &rec));
  const auto lines = log.DiagnosticLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("Capture buffer size out of range ch1: rate 0", 0), 0u) << lines[0];
  EXPECT_EQ(lines[2].rfind("Capture buffer size out of range ch2", 0), 0u);
  EXPECT_TRUE(rec.starts.empty());
  EXPECT_EQ(arc.Capturing, 0);
}

TEST_F(CaptureTest, AnArchiveFaultIsLoggedAndTheBufferStaysInTheRing) {
  SetErrorCatch(0);
  arc.CurrentPath = "/data/ch1/20260314100000.wav";
  ASSERT_TRUE(Start());
  Produce(kS * 2);
  rec.throwOnFeed = true;
  EXPECT_EQ(Poll(), -1);
  EXPECT_EQ(log.DiagnosticLines(),
            std::vector<std::string>{"zrec ProgressionRecord err /data/ch1/20260314100000.wav"});
  EXPECT_TRUE(HeaderQueue::IsQueued(cap.Headers[0]));
  rec.throwOnFeed = false;
  EXPECT_EQ(Poll(), 1);  // buffer 1 waited for the next tick
}

TEST_F(CaptureTest, AMonoChannelRecordsOneSamplePerFrame) {
  ASSERT_TRUE(Start(2));
  EXPECT_EQ(cap.Format.channels, 1);
  EXPECT_EQ(cap.Headers[0].bufferLength, 2u * kS);
  EXPECT_EQ(cap.SampleBlocks.size(), static_cast<size_t>(kS) * kB);
  Produce(kS + 1);
  EXPECT_EQ(Poll(), 0);
  EXPECT_EQ(cap.Block(1)[0], kS);
  EXPECT_EQ(rec.fed[0].samples.size(), static_cast<size_t>(kS));
}

TEST_F(CaptureTest, ARestartOpensAFreshDevice) {
  ASSERT_TRUE(Start());
  Produce(kS);
  Poll();
  StopCapture(0, cap, arc, &rec);
  ASSERT_TRUE(Start());
  EXPECT_EQ(cap.NextBuffer, 0);
  EXPECT_EQ(cap.BuffersCompleted, 0u);
  Produce(kS);
  EXPECT_EQ(Poll(), 0);
  EXPECT_EQ(Left(0, 0), 0);  // a new stream of the ramp
  EXPECT_EQ(rec.starts.size(), 2u);
}

// A device that opens but will not start.
class StubbornService final : public WaveService {
 public:
  class Stream final : public WaveInStream {
   public:
    using WaveInStream::WaveInStream;
    int Start() override { return kWaveErrDeviceFailed; }
    int Stop() override { return kWaveOk; }
    int Reset() override {
      queue_.ReturnAll();
      return kWaveOk;
    }
    int Close() override {
      ++closes;
      queue_.ReturnAll();
      closed_ = true;
      return kWaveOk;
    }
    int closes = 0;
  };
  std::string BackendName() const override { return "stubborn"; }
  int DeviceCount(bool) override { return 1; }
  std::string DeviceName(bool, int) override { return "Stubborn In"; }
  int OpenIn(int, const WaveFormat& format, std::shared_ptr<WaveInStream>& stream) override {
    last = std::make_shared<Stream>("Stubborn In", format);
    stream = last;
    return kWaveOk;
  }
  int OpenOut(int, const WaveFormat&, std::shared_ptr<WaveOutStream>&) override {
    return kWaveErrBadDeviceId;
  }
  std::shared_ptr<Stream> last;
};

TEST(StartCapture, ADeviceThatOpensButWillNotStartIsReleasedAtOnce) {
  test::LogCapture log;
  StubbornService service;
  CaptureChannel cap;
  ArchiveChannel arc;
  test::FakeRecorder rec;
  cap.SampleRate = 8000;
  EXPECT_FALSE(StartCapture(2, cap, arc, service, &rec));
  EXPECT_EQ(arc.Capturing, 0);
  EXPECT_EQ(cap.Device, nullptr);
  ASSERT_NE(service.last, nullptr);
  EXPECT_EQ(service.last->closes, 1);
  EXPECT_FALSE(HeaderQueue::IsQueued(cap.Headers[0]));
  EXPECT_TRUE(rec.starts.empty());  // no archive for a device that never ran
  EXPECT_EQ(rec.stops, 0);
  EXPECT_EQ(log.DiagnosticLines(),
            std::vector<std::string>{"Capture start failed ch3 (Stubborn In): The audio input "
                                     "device has failed or was removed."});
}

TEST(ShowWaveError, ShowsOrLogsTheServiceTextAndSaysWhetherThereWasAnError) {
  test::LogCapture log;
  test::NoticeRecorder notices;
  SimWaveService sim(SimPace::Manual);
  std::shared_ptr<WaveOutStream> out;
  const int code = sim.OpenOut(3, Pcm16Format(8000, 2), out);
  EXPECT_EQ(ShowWaveError(kWaveOk, true, false, sim), 0);
  EXPECT_TRUE(notices.texts.empty());
  EXPECT_EQ(ShowWaveError(code, true, false, sim), 1);
  ASSERT_EQ(notices.texts.size(), 1u);
  EXPECT_EQ(notices.texts[0],
            "Cannot open output device number 3: there is 1 virtual output device.");
  EXPECT_EQ(ShowWaveError(code, true, true, sim), 1);
  EXPECT_EQ(log.DiagnosticLines(), std::vector<std::string>{notices.texts[0]});
  // A code with no detailed failure behind it gets the generic sentence.
  EXPECT_EQ(ShowWaveError(kWaveErrTimeout, false, true, sim), 1);
  EXPECT_EQ(log.DiagnosticLines().back(), "The sound server did not answer in time.");
}

TEST(RealTimeCapture, TheToneDeviceFillsBuffersOnItsOwn) {
  test::LogCapture log;
  SimWaveService sim(SimPace::RealTime);
  CaptureChannel cap;
  ArchiveChannel arc;
  cap.SampleRate = 8000;
  cap.BufferSec = 3;
  cap.DeviceId = 0;  // Sim Tone 1kHz
  ASSERT_TRUE(StartCapture(0, cap, arc, sim, nullptr));
  int handled = -1;
  for (int i = 0; i < 1000 && handled < 0; ++i) {  // gives up after about 10 s
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    handled = ProgressionRecord(0, cap, arc, true, nullptr);
  }
  ASSERT_EQ(handled, 0);
  int16_t peak = 0;
  for (int f = 0; f < cap.SamplesPerBuffer; ++f) peak = std::max(peak, cap.Block(0)[2 * f]);
  EXPECT_EQ(peak, 3277);  // -20 dBFS
  StopCapture(0, cap, arc, nullptr);
}

}  // namespace
}  // namespace varn

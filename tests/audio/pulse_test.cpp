// The PulseAudio backend against real servers: the one test.sh starts (with
// null sinks VarnNullA and VarnNullB), and private ones this test starts and
// takes away mid-capture. Without VARN_TEST_PULSE the server tests skip;
// with it a missing server is a failure.

#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/capture.h"
#include "audio/device_catalogue.h"
#include "audio/pulse/pulse_service.h"
#include "audio/wave_backend.h"
#include "audio_test_support.h"
#include "support/private_pulse_server.h"
#include "support/wait_for.h"

namespace varn {
namespace {

bool PulseTestsWanted() {
  const char* v = std::getenv("VARN_TEST_PULSE");
  return v && *v;
}

using test::WaitFor;

class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PulseTestsWanted()) GTEST_SKIP() << "VARN_TEST_PULSE is not set: no test server";
  }
  test::LogCapture log;
  test::NoticeRecorder notices;
};

TEST_F(PulseTest, DevicesAreListedByDescriptionInServerOrder) {
  PulseWaveService pulse;
  std::vector<std::string> in, out;
  for (int i = 0, n = pulse.DeviceCount(true); i < n; ++i) in.push_back(pulse.DeviceName(true, i));
  for (int i = 0, n = pulse.DeviceCount(false); i < n; ++i)
    out.push_back(pulse.DeviceName(false, i));
  ASSERT_EQ(out, (std::vector<std::string>{"VarnNullA", "VarnNullB"}))
      << "is the test server running?";
  EXPECT_EQ(in, (std::vector<std::string>{"Monitor of VarnNullA", "Monitor of VarnNullB"}));
  EXPECT_EQ(pulse.ServerName(true, 1), "varn_null_b.monitor");
  EXPECT_EQ(FindDeviceId(false, "varnnullb", pulse), 1);
  EXPECT_EQ(FindDeviceId(true, "Monitor of VarnNullB", pulse), 1);

  // The default devices open under their real names.
  std::shared_ptr<WaveInStream> stream;
  ASSERT_EQ(pulse.OpenIn(kDefaultDevice, Pcm16Format(44100, 2), stream), kWaveOk);
  EXPECT_EQ(stream->DeviceName(), "Monitor of VarnNullA");
  EXPECT_EQ(stream->Close(), kWaveOk);
  EXPECT_EQ(pulse.BackendName(), "pulse");
  std::string note;
  EXPECT_EQ(CreateWaveService("auto", &note)->BackendName(), "pulse") << note;
}

TEST_F(PulseTest, OpenFailuresNameTheDeviceAndTheReason) {
  PulseWaveService pulse;
  std::shared_ptr<WaveInStream> in;
  EXPECT_EQ(pulse.OpenIn(7, Pcm16Format(44100, 2), in), kWaveErrBadDeviceId);
  EXPECT_EQ(pulse.ErrorText(kWaveErrBadDeviceId, false),
            "Cannot open input device number 7: the PulseAudio server lists 2 input devices.");
  std::shared_ptr<WaveOutStream> out;
  WaveFormat bad = Pcm16Format(44100, 2);
  bad.channels = 0;
  EXPECT_EQ(pulse.OpenOut(1, bad, out), kWaveErrBadFormat);
  EXPECT_NE(pulse.ErrorText(kWaveErrBadFormat, true).find("output device \"VarnNullB\""),
            std::string::npos);
}

// Plays a known signal into VarnNullA through our wave-out and records it
// from the sink's monitor through our wave-in and the capture ring.
TEST_F(PulseTest, APlayedSignalComesBackSampleForSampleThroughTheCaptureRing) {
  PulseWaveService pulse;
  const int sink = FindDeviceId(false, "VarnNullA", pulse);
  const int source = FindDeviceId(true, "Monitor of VarnNullA", pulse);
  ASSERT_GE(sink, 0);
  ASSERT_GE(source, 0);

  CaptureChannel cap;
  ArchiveChannel arc;
  test::FakeRecorder rec;
  cap.SampleRate = 44100;
  cap.DeviceId = source;
  ASSERT_TRUE(StartCapture(0, cap, arc, pulse, &rec))
      << (notices.texts.empty() ? "" : notices.texts[0]);

  // 200 ms of silence (the streams settle), then one second of a signal
  // whose first frame (1, -1) occurs nowhere else; eleven headers in all.
  constexpr int kLead = 8820;
  constexpr int kFrames = 44100;
  constexpr int kPerHeader = 4410;
  std::vector<int16_t> played(2 * (kLead + kFrames), 0);
  int16_t* signal = played.data() + 2 * kLead;
  for (int f = 0; f < kFrames; ++f) {
    signal[2 * f] = static_cast<int16_t>(1 + f % 30011);
    signal[2 * f + 1] = static_cast<int16_t>(-1 - (f * 7) % 29989);
  }
  std::shared_ptr<WaveOutStream> out;
  ASSERT_EQ(pulse.OpenOut(sink, Pcm16Format(44100, 2), out), kWaveOk);
  std::vector<WaveHeader> headers((kLead + kFrames) / kPerHeader);
  for (size_t i = 0; i < headers.size(); ++i) {
    headers[i].data = reinterpret_cast<uint8_t*>(played.data() + 2 * kPerHeader * i);
    headers[i].bufferLength = 4 * kPerHeader;
    ASSERT_EQ(out->Prepare(headers[i]), kWaveOk);
    ASSERT_EQ(out->Write(headers[i]), kWaveOk);
  }
  EXPECT_EQ(out->Write(headers[0]), kWaveErrStillPlaying);

  // Playback hands the headers over in order.
  std::vector<size_t> doneOrder;
  const bool handedOver = WaitFor(
      [&] {
        for (size_t i = doneOrder.size(); i < headers.size() && headers[i].Done(); ++i)
          doneOrder.push_back(i);
        for (size_t i = doneOrder.size(); i < headers.size(); ++i)
          EXPECT_FALSE(headers[i].Done()) << i;
        ProgressionRecord(0, cap, arc, true, &rec);
        return doneOrder.size() == headers.size();
      },
      15);
  ASSERT_TRUE(handedOver);
  // Keep recording until the last of it has come round.
  const size_t needed = rec.fed.size() + 5;
  ASSERT_TRUE(WaitFor(
      [&] {
        ProgressionRecord(0, cap, arc, true, &rec);
        return rec.fed.size() >= needed;
      },
      15));
  StopCapture(0, cap, arc, &rec);
  out->Close();

  std::vector<int16_t> captured;
  for (size_t i = 0; i < rec.fed.size(); ++i) {
    EXPECT_EQ(rec.fed[i].bufferIndex, static_cast<int32_t>(i % cap.BufferCount));
    captured.insert(captured.end(), rec.fed[i].samples.begin(), rec.fed[i].samples.end());
  }
  EXPECT_TRUE(log.DiagnosticLines().empty());  // no irregular buffers, no overruns
  size_t start = 0;
  while (start + 1 < captured.size() && !(captured[start] == 1 && captured[start + 1] == -1))
    start += 2;
  ASSERT_LE(start + 2 * kFrames, captured.size()) << "the signal did not come back whole";
  for (size_t i = 0; i < 2 * kFrames; ++i)
    ASSERT_EQ(captured[start + i], signal[i]) << "sample " << i;
}

TEST_F(PulseTest, ADeviceOrServerThatGoesAwayIsReportedAndNothingHangs) {
  test::PrivatePulseServer server("varn_gone", "VarnGone");
  ASSERT_TRUE(server.Running()) << "could not start a private PulseAudio server";
  PulseWaveService pulse(server.Address());
  CaptureChannel cap;
  ArchiveChannel arc;
  cap.SampleRate = 8000;
  cap.DeviceId = FindDeviceId(true, "Monitor of VarnGone", pulse);
  ASSERT_EQ(cap.DeviceId, 0);
  ASSERT_TRUE(StartCapture(0, cap, arc, pulse, nullptr));
  ASSERT_TRUE(WaitFor([&] { return ProgressionRecord(0, cap, arc, false, nullptr) >= 0; }, 10));

  // The device is unplugged: its stream is killed, not moved elsewhere.
  ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
  ASSERT_TRUE(WaitFor([&] { return CaptureDeviceFailed(cap); }, 10));
  ProgressionRecord(0, cap, arc, false, nullptr);
  ProgressionRecord(0, cap, arc, false, nullptr);
  auto lines = log.DiagnosticLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Capture device failed ch1 (Monitor of VarnGone): ", 0), 0u) << lines[0];
  StopCapture(0, cap, arc, nullptr);
  EXPECT_EQ(arc.Capturing, 0);

  // A new device comes; then the whole server dies under a capture and a playback.
  ASSERT_EQ(server.Pactl("load-module module-null-sink sink_name=varn_back "
                         "sink_properties=device.description=VarnBack"),
            0);
  cap.DeviceId = FindDeviceId(true, "Monitor of VarnBack", pulse);
  ASSERT_GE(cap.DeviceId, 0);
  ASSERT_TRUE(StartCapture(1, cap, arc, pulse, nullptr));
  std::shared_ptr<WaveOutStream> out;
  ASSERT_EQ(pulse.OpenOut(FindDeviceId(false, "VarnBack", pulse), Pcm16Format(8000, 2), out),
            kWaveOk);
  server.Kill();
  ASSERT_TRUE(WaitFor([&] { return CaptureDeviceFailed(cap) && out->Failed(); }, 10));
  ProgressionRecord(1, cap, arc, false, nullptr);
  lines = log.DiagnosticLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("Capture device failed ch2 (Monitor of VarnBack): ", 0), 0u) << lines[1];
  StopCapture(1, cap, arc, nullptr);
  EXPECT_NE(out->Reset(), kWaveOk);
  EXPECT_EQ(out->Close(), kWaveOk);

  // Opening now fails at once with a clear reason.
  std::shared_ptr<WaveInStream> in;
  EXPECT_EQ(pulse.OpenIn(0, Pcm16Format(8000, 2), in), kWaveErrNoDriver);
  EXPECT_NE(
      pulse.ErrorText(kWaveErrNoDriver, false).find("the PulseAudio server cannot be reached"),
      std::string::npos);
  EXPECT_EQ(pulse.DeviceCount(true), 0);
}

TEST(PulseWithoutServer, OpeningFailsWithAClearReasonAndAutoFallsBackToSim) {
  test::LogCapture log;
  PulseWaveService pulse("unix:/nonexistent/varn/native");
  EXPECT_EQ(pulse.DeviceCount(true), 0);
  EXPECT_EQ(pulse.DeviceCount(false), 0);
  std::shared_ptr<WaveInStream> in;
  EXPECT_EQ(pulse.OpenIn(kDefaultDevice, Pcm16Format(44100, 2), in), kWaveErrNoDriver);
  EXPECT_EQ(in, nullptr);
  const std::string text = pulse.ErrorText(kWaveErrNoDriver, false);
  EXPECT_EQ(
      text.rfind(
          "Cannot open the input device (the default): the PulseAudio server cannot be reached (",
          0),
      0u)
      << text;

  const char* saved = std::getenv("PULSE_SERVER");
  const std::string keep = saved ? saved : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/varn/native", 1);
  std::string note;
  const auto service = CreateWaveService("auto", &note);
  EXPECT_EQ(service->BackendName(), "sim");
  EXPECT_NE(note.find("using virtual devices"), std::string::npos) << note;
  EXPECT_EQ(CreateWaveService("PULSE")->BackendName(), "pulse");  // asked for: kept
  EXPECT_EQ(CreateWaveService("sim")->BackendName(), "sim");
  if (saved)
    setenv("PULSE_SERVER", keep.c_str(), 1);
  else
    unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace varn

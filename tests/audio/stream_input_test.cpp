// Network streams as input devices, without a server: the Stream_N line,
// the title a server sends, and the catalogue and failure rules of the
// stream service over the virtual devices.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "audio/sim/sim_service.h"
#include "audio/stream/drift_steer.h"
#include "audio/stream/sample_ring.h"
#include "audio/stream/stream_title.h"
#include "audio/stream/stream_wave_service.h"
#include "settings/setting_check.h"
#include "settings/stream_setting.h"
#include "support/wait_for.h"

namespace varn {
namespace {

TEST(StreamSetting, TakesHttpAndHttpsAndRefusesEveryOtherSchemeByName) {
  const auto ok = ParseStreamSetting("  Radio One | HTTPS://radio.example/live.m3u8 ");
  ASSERT_TRUE(ok.stream);
  EXPECT_EQ(ok.stream->name, "Radio One");
  EXPECT_EQ(ok.stream->url, "HTTPS://radio.example/live.m3u8");
  EXPECT_TRUE(ParseStreamSetting("").problem.empty());
  EXPECT_FALSE(ParseStreamSetting("").stream);

  const std::pair<const char*, const char*> refused[] = {
      {"Local|file:///etc/passwd", "the scheme \"file\" is refused"},
      {"Concat|concat:http://a/1.mp3|http://a/2.mp3", "the scheme \"concat\" is refused"},
      {"Ftp|ftp://host/a.mp3", "the scheme \"ftp\" is refused"},
      {"Path|/var/audio.mp3", "has no scheme"},
      {"NoHost|http:///a.mp3", "names no host"},
      {"Blank|http://host/a b.mp3", "blanks"},
      {"http://host/a.mp3", "NAME|URL"},
      {"|http://host/a.mp3", "needs a name"},
  };
  for (const auto& [text, why] : refused) {
    const auto p = ParseStreamSetting(text);
    EXPECT_FALSE(p.stream) << text;
    EXPECT_NE(p.problem.find(why), std::string::npos) << text << ": " << p.problem;
  }
  // The settings check says the same, and knows 16 stream keys.
  const SettingCheck check = CheckSettingValue("Stream_16", "Local|file:///etc/passwd");
  EXPECT_FALSE(check.ok);
  EXPECT_NE(check.message.find("\"file\""), std::string::npos);
  EXPECT_TRUE(CheckSettingValue("Stream_1", "R|http://127.0.0.1:8000/a").ok);
  EXPECT_FALSE(IsKnownSetting("Stream_17"));
}

TEST(StreamTitle, TakesTheIcyTitleAndCleansRemoteText) {
  EXPECT_EQ(IcyStreamTitle("StreamTitle='Artist - It's Late';StreamUrl='';"), "Artist - It's Late");
  EXPECT_EQ(IcyStreamTitle("StreamTitle='Unterminated"), "Unterminated");
  EXPECT_FALSE(IcyStreamTitle("StreamUrl='x';"));

  EXPECT_EQ(CleanStreamTitle("a\nb\tc\x7f"), "a b c ");
  EXPECT_EQ(CleanStreamTitle("bad \xff byte \xe6\x97"),
            "bad \xEF\xBF\xBD byte \xEF\xBF\xBD\xEF\xBF\xBD");
  // 300 three-byte characters are cut at 256 characters, not bytes.
  std::string japanese;
  for (int i = 0; i < 300; ++i) japanese += "\xe6\x97\xa5";
  EXPECT_EQ(CleanStreamTitle(japanese).size(), 256u * 3);
}

// Two hours of a stream whose clock runs `drift` fast (negative: slow),
// second by second: the server sends rate * (1 + drift) frames, steering
// adds or drops its share, the line takes rate frames. Returns the fill's
// lowest and highest value over the second hour.
std::pair<double, double> SteeredFill(double drift) {
  constexpr int kRate = 44100;
  constexpr double kTarget = 88200;  // 2 s
  DriftSteer steer(kRate, static_cast<size_t>(kTarget));
  double fill = kTarget;
  double low = 1e12;
  double high = -1e12;
  for (int second = 0; second < 7200; ++second) {
    const int delta = steer.Next(static_cast<size_t>(std::max(fill, 0.0)));
    EXPECT_LE(std::abs(delta), kRate * DriftSteer::kMaxSteer + 1);
    fill += kRate * (1 + drift) + delta - kRate;
    if (second >= 3600) {
      low = std::min(low, fill);
      high = std::max(high, fill);
    }
  }
  return {low, high};
}

TEST(DriftSteer, HoldsTheBufferNearItsAimWhateverTheStreamsClock) {
  for (const double drift : {0.003, -0.003, 0.0005, 0.0}) {
    const auto [low, high] = SteeredFill(drift);
    // Within 100 ms of the aim, and not wandering.
    EXPECT_NEAR(low, 88200, 4410) << drift;
    EXPECT_NEAR(high, 88200, 4410) << drift;
    EXPECT_LT(high - low, 100) << drift;
  }
  // Beyond what it may correct (1 % fast), the backlog grows: the buffer
  // then overflows, which is lost audio, not a silent stretch.
  EXPECT_GT(SteeredFill(0.01).second, 88200 + 44100 * 0.004 * 3600);
}

TEST(SampleRing, GivesBackWhatWasWrittenInOrderAcrossTheWrap) {
  SampleRing ring(10);
  const int16_t a[] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(ring.Write(a, 7), 7u);
  int16_t out[10] = {};
  EXPECT_EQ(ring.Read(out, 5), 5u);
  EXPECT_EQ(ring.Write(a, 7), 7u);  // wraps
  EXPECT_EQ(ring.Write(a, 7), 1u);  // full: only what fits
  EXPECT_EQ(ring.Size(), 10u);
  EXPECT_EQ(ring.Read(nullptr, 2), 2u);  // dropped unread
  EXPECT_EQ(ring.Read(out, 10), 8u);
  const int16_t expected[] = {1, 2, 3, 4, 5, 6, 7, 1};
  EXPECT_TRUE(std::equal(expected, expected + 8, out));
  EXPECT_EQ(ring.Size(), 0u);
}

WaveFormat Stereo44k() {
  WaveFormat f;
  f.formatTag = 1;
  f.channels = 2;
  f.bitsPerSample = 16;
  f.blockAlign = 4;
  f.samplesPerSec = 44100;
  f.avgBytesPerSec = 176400;
  return f;
}

TEST(StreamService, ListsStreamsAfterTheBackendAndRefusesOneThatIsDownAtOnce) {
  StreamInputs inputs;
  // Port 1 on loopback refuses at once.
  inputs.streams = {{"Radio", "http://127.0.0.1:1/live.mp3"}, {"Other", "http://127.0.0.1:1/b"}};
  inputs.bufferMs = 200;
  StreamWaveService service(std::make_unique<SimWaveService>(SimPace::Manual), inputs);
  const int sim = SimWaveService(SimPace::Manual).DeviceCount(true);
  ASSERT_EQ(service.DeviceCount(true), sim + 2);
  EXPECT_EQ(service.DeviceName(true, sim), "Radio");
  EXPECT_EQ(service.DeviceName(true, sim + 1), "Other");
  EXPECT_EQ(service.DeviceName(true, 0), "Sim Tone 1kHz");
  EXPECT_EQ(service.DeviceCount(false), 1);

  // The first open succeeds at once; the stream then fails as a device.
  std::shared_ptr<WaveInStream> stream;
  ASSERT_EQ(service.OpenIn(sim, Stereo44k(), stream), kWaveOk);
  ASSERT_TRUE(stream && stream->IsStream());
  EXPECT_EQ(stream->DeviceName(), "Radio");
  ASSERT_EQ(stream->Start(), kWaveOk);
  ASSERT_TRUE(test::WaitFor([&] { return stream->Failed(); }, 10.0));
  bool told = false;
  for (const auto& note : stream->TakeNotes()) told |= note.text.rfind("lost: ", 0) == 0;
  EXPECT_TRUE(told);
  stream->Close();

  // While it stays down, a retry is refused without waiting for the network.
  const auto before = std::chrono::steady_clock::now();
  std::shared_ptr<WaveInStream> again;
  const int r = service.OpenIn(sim, Stereo44k(), again);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
  EXPECT_EQ(r, kWaveErrDeviceFailed);
  EXPECT_FALSE(again);
  EXPECT_NE(service.ErrorText(r, false).find("\"Radio\" cannot be reached"), std::string::npos);
  // A sound card's errors still come through.
  std::shared_ptr<WaveInStream> card;
  EXPECT_EQ(service.OpenIn(sim + 5, Stereo44k(), card), kWaveErrBadDeviceId);
}

}  // namespace
}  // namespace varn

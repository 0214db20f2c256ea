// Network streams as input devices, without a server: the Stream_N line,
// the title a server sends, and the catalogue and failure rules of the
// stream service over the virtual devices.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/sim/sim_service.h"
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

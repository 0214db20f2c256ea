// The loaders: what a store gives the running engine, and what shutdown
// writes back.

#include <gtest/gtest.h>

#include "engine/engine_fixture.h"
#include "settings/setting_keys.h"

namespace varn::test {
namespace {

using EngineSettingsTest = EngineFixture;

TEST_F(EngineSettingsTest, AnEmptyStoreGivesOneDefaultChannel) {
  Build("");
  ASSERT_EQ(engine->ChannelCount(), 1);
  const ChannelRecord& c = engine->Channel(0);
  EXPECT_EQ(c.name, "系統名1");
  EXPECT_EQ(c.capture.FormatCode, 3);
  EXPECT_EQ(c.capture.SampleRate, 44100);
  EXPECT_EQ(c.capture.BitRate, 160);  // LAME is there
  EXPECT_EQ(c.archive.Extension, ".mp3");
  EXPECT_EQ(c.archive.ArcOn, 1);
  EXPECT_EQ(c.capture.DeviceId, kDefaultDevice);  // a blank name: the default input
  EXPECT_EQ(engine->Misc().updateIntervalMs, 10);
  EXPECT_EQ(engine->Misc().selectedSet, 1);
  EXPECT_FLOAT_EQ(engine->Misc().monitoring.minGateLevel, -90.0f);
  engine->BeginRunning(false);
  EXPECT_TRUE(timer.Armed());
  EXPECT_EQ(timer.Interval(), 10);
  EXPECT_EQ(EventTexts(), std::vector<std::string>{"**************起動*****************"});
}

TEST_F(EngineSettingsTest, TheSelectedSetAppliesToEveryChannelAndBadValuesGiveDefaults) {
  Build(
      "NumRec=2\nSelectedSetting=3\nMaxGateLevel_1=-1\nMaxGateLevel_3=-6\n"
      "MinGateLevel_3=abc\nWaveRate_3=0.1\nFFTRate_3=5\nRecMode_2=2\nStereoMode_2=0\n"
      "TimerUpdateInt=0\nRecFreq_1=x48000\n");
  const MiscSettings& m = engine->Misc();
  EXPECT_EQ(m.selectedSet, 3);
  EXPECT_FLOAT_EQ(m.monitoring.maxGateLevel, -6.0f);
  EXPECT_FLOAT_EQ(m.monitoring.minGateLevel, -90.0f);  // "abc": the default
  EXPECT_FLOAT_EQ(m.waveRate, 0.2f);                   // used as at least 0.2 ...
  EXPECT_EQ(ReadSetting("WaveRate_3", ""), "0.1");     // ... and left as stored
  EXPECT_FLOAT_EQ(m.fftRate, 5.0f);
  EXPECT_EQ(m.updateIntervalMs, 1);
  EXPECT_EQ(engine->Channel(0).capture.SampleRate, 44100);
  // A mono 16-bit capture is watched on its left side, whatever was stored;
  // the menu cannot change that either.
  EXPECT_EQ(engine->Channel(1).analysis.stereoMode, StereoMode::Stereo);  // start-up value
  engine->SetFmt(1);
  EXPECT_EQ(engine->Channel(1).analysis.stereoMode, StereoMode::MonoLeft);
  engine->SetStereoMode(1, 0);
  EXPECT_EQ(engine->Channel(1).analysis.stereoMode, StereoMode::MonoLeft);
  engine->SetStereoMode(0, 3);
  EXPECT_EQ(engine->Channel(0).analysis.stereoMode, StereoMode::MonoRight);
}

TEST_F(EngineSettingsTest, AChannelCountOutsideOneToEightIsClamped) {
  Build("NumRec=12\nMaxNumX=0\n");
  EXPECT_EQ(engine->ChannelCount(), 8);
  EXPECT_EQ(engine->Panels().maxNumX, 1);
}

TEST_F(EngineSettingsTest, AFreshIniForEightChannelsIsRewrittenAFewTimesNotOncePerKey) {
  const uint64_t before = SettingsFilesWritten();
  Build("NumRec=8\n");
  // Every key read was written back as its default ...
  const std::string ini = ReadText(dir / "varn.ini");
  EXPECT_NE(ini.find("DeviceName_8="), std::string::npos);
  EXPECT_NE(ini.find("FFTSense_1=50"), std::string::npos);
  EXPECT_NE(ini.find("ChName_8=系統名8"), std::string::npos);
  // ... in one replacement per loader, not one per key.
  EXPECT_LE(SettingsFilesWritten() - before, 3u);
}

TEST_F(EngineSettingsTest, ShutdownStoresTheDisplayChoicesAndLogsTheEnd) {
  Build(
      "FFTOffset_1=37.26\nVUValueShows_1=1\nStereoMode_1=2\nDeviceName_1=Sim Tone 1kHz\n"
      "RecFreq_1=8000\nBitRate_1=0\n");
  engine->BeginRunning(false);
  ASSERT_TRUE(engine->StartChannel(0));
  engine->SetMeterTextMode(0, 2);
  engine->CloseChannels();
  engine->LogEndLine();
  EXPECT_EQ(ReadSetting("FFTOffset_1", ""), "37.3");
  EXPECT_EQ(ReadSetting("VUValueShows_1", ""), "2");
  EXPECT_EQ(ReadSetting("StereoMode_1", ""), "2");
  EXPECT_FALSE(engine->Capturing(0));
  EXPECT_FALSE(timer.Armed());
  // Nothing was captured: the run's loudness line has no figures.
  const std::vector<std::string> expected = {"**************起動*****************", "ch1 録音開始",
                                             "ch1 録音停止",
                                             "ch1 ラウドネス I ---LUFS LRA ---LU TP ---dBTP",
                                             "**************正常終了*****************"};
  EXPECT_EQ(EventTexts(), expected);
}

TEST_F(EngineSettingsTest, ALufsMeterChoiceOutlivesARunWithoutTheLoudnessView) {
  Build("NumRec=2\nVUValueShows_1=3\nVUValueShows_2=3\n");
  EXPECT_EQ(engine->Channel(0).analysis.meterTextMode, MeterTextMode::Rms);
  engine->SetMeterTextMode(1, 1);  // a mode the user picked is what is kept
  engine->CloseChannels();
  EXPECT_EQ(ReadSetting("VUValueShows_1", ""), "3");
  EXPECT_EQ(ReadSetting("VUValueShows_2", ""), "1");
}

}  // namespace
}  // namespace varn::test

// The main window on the offscreen platform: built from a settings file of
// the test's own on virtual devices, driven as the pointer would drive it.

#include "ui/main_window/frm_main.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/display/colours.h"
#include "ui/display/spectrum_grid.h"
#include "ui/main_window/channel_panel.h"
#include "ui/twips.h"
#include "util/user_notice.h"

namespace varn {
namespace {

class RecordedNotices final : public UserNotice {
 public:
  RecordedNotices() { SetActiveNotice(this); }
  ~RecordedNotices() override { SetActiveNotice(nullptr); }
  void Show(std::string_view text, std::string_view, NoticeIcon) override {
    texts.emplace_back(text);
  }
  std::vector<std::string> texts;
};

class FrmMainTest : public ::testing::Test {
 protected:
  void Open(const std::string& settings, QSize size = {1400, 900}) {
    test::WriteText(dir / "varn.ini", "[conf]\n" + settings);
    ASSERT_TRUE(start.Begin(dir.Path()));
    start.OpenAudio("sim");
    window = std::make_unique<FrmMain>(start);
    window->resize(size);
    loaded = window->FormLoad();
    if (loaded) window->TimerStart();
  }
  Engine& E() { return *window->GetEngine(); }
  PointerEvent At(Qt::MouseButton button, int xPixels, int yPixels) const {
    PointerEvent e;
    e.button = button;
    e.xTwips = xPixels * TwipsPerPixel();
    e.yTwips = yPixels * TwipsPerPixel();
    return e;
  }

  test::TempDir dir;
  RecordedNotices notices;
  ProgramStart start;
  std::unique_ptr<FrmMain> window;
  bool loaded = false;
};

constexpr const char* kThree =
    "NumRec=3\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Silence\nDeviceName_3=Sim Ramp\n"
    "RecMode_3=2\nBitRate_1=0\nBitRate_2=0\nBitRate_3=0\nRecFreq_1=48000\n";

TEST_F(FrmMainTest, ATooSmallWindowRefusesToStart) {
  Open("", {300, 300});
  EXPECT_FALSE(loaded);
  EXPECT_EQ(notices.texts, std::vector<std::string>{kScreenTooSmallText});
  EXPECT_EQ(window->GetEngine(), nullptr);
}

TEST_F(FrmMainTest, BuildsOnePanelPerChannelWithTheCaptionAndMenu) {
  Open(kThree);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(window->windowTitle(), "varn - VarnAudio");
  ASSERT_EQ(window->PanelCount(), 3);
  EXPECT_EQ(window->Layout().rows, 1);
  EXPECT_EQ(window->Panel(1).Name()->FullName(), "系統名2");
  EXPECT_EQ(window->MenuButton(3)->text(), "ログ");
  EXPECT_TRUE(window->StartedFlag());
  EXPECT_FALSE(E().Capturing(0));  // the record buttons are shown: nothing starts by itself
}

TEST_F(FrmMainTest, RecordButtonsToggleEachChannelByItsOwnStateAndFollowIt) {
  Open(kThree);
  window->RecButtonClicked(0, 0, 0);
  window->RecButtonClicked(2, 0, 0);
  EXPECT_EQ(window->Panel(0).Buttons()->State(0), 2);
  window->RecButtonClicked(1, 0, 1);  // Shift alone: every channel
  EXPECT_FALSE(E().Capturing(0));
  EXPECT_TRUE(E().Capturing(1));
  EXPECT_FALSE(E().Capturing(2));
  EXPECT_EQ(window->Panel(0).Buttons()->State(0), 0);
  EXPECT_EQ(window->Panel(1).Buttons()->State(0), 2);
  window->RecButtonClicked(1, 1, 0);  // listen to channel 2
  EXPECT_EQ(window->Panel(1).Buttons()->State(1), 2);
  window->MenuButtonClicked(1);  // the audio dialog stops the listening first
  EXPECT_EQ(E().MonitoredChannel(), -1);
  EXPECT_EQ(window->Panel(1).Buttons()->State(1), 0);
}

TEST_F(FrmMainTest, MeterCornerCyclesItsNumberAndTheStereoMenuKeepsMono16OnTheLeft) {
  Open(kThree);
  ChannelPanel& p = window->Panel(2);
  const int w = p.Meter()->width();
  const int h = p.Meter()->height();
  window->MeterReleased(2, At(Qt::LeftButton, w / 2, h / 2));  // not the corner
  EXPECT_EQ(E().Channel(2).analysis.meterTextMode, MeterTextMode::Rms);
  for (const MeterTextMode expected :
       {MeterTextMode::Peak, MeterTextMode::Hold, MeterTextMode::Rms}) {
    window->MeterReleased(2, At(Qt::LeftButton, w - 2, h - 2));
    EXPECT_EQ(E().Channel(2).analysis.meterTextMode, expected);
  }
  window->MeterReleased(2, At(Qt::RightButton, 5, 5));
  EXPECT_EQ(window->StereoMenuChannel(), 2);
  window->StereoMenuChosen(0);  // "ステレオ(L+R)" on a mono 16-bit capture
  EXPECT_EQ(E().Channel(2).analysis.stereoMode, StereoMode::MonoLeft);
  window->MeterReleased(2, At(Qt::RightButton, 5, 5));
  ASSERT_NE(window->StereoMenu(), nullptr);
  EXPECT_TRUE(window->StereoMenu()->actions().at(2)->isChecked());  // "モノラル(L)"
  window->StereoMenu()->hide();
}

TEST_F(FrmMainTest, TheFrequencyReadOutRunsFromTenHertzToHalfTheRate) {
  Open(kThree);
  const int w = window->Panel(0).Scale()->width() * TwipsPerPixel();
  EXPECT_NEAR(window->FreqAtX(0, 48000), 10.0f, 0.01f);
  EXPECT_NEAR(window->FreqAtX(w, 48000), 24000.0f, 1.0f);
  window->SpectrumPointerMoved(0, 0);
  EXPECT_EQ(window->Panel(0).Frequency()->text(), "10Hz");
  window->SpectrumPointerMoved(0, w);
  EXPECT_EQ(window->Panel(0).Frequency()->text(), "24.0kHz");
  window->ClearFrequencyReadout(0);
  EXPECT_TRUE(window->Panel(0).Frequency()->text().isEmpty());
}

TEST_F(FrmMainTest, TheMarkerStopsShortOfTheViewsEdges) {
  Open(kThree);
  ChannelPanel& p = window->Panel(0);
  window->MarkerDragged(0, -100000);
  EXPECT_EQ(p.Marker()->y(), 3);  // 3 pixels below the view's top
  const int viewH = p.Spectrum()->height();
  EXPECT_NEAR(E().Channel(0).fftOffset, (viewH - 9) * 100.0f / viewH, 0.01f);
  window->MarkerDragged(0, 100000);
  EXPECT_EQ(p.Marker()->y(), viewH - 12 - 6);
}

TEST_F(FrmMainTest, StandingChannelsShowTheirGridWhereTheMarkerPutsIt) {
  Open(kThree);
  auto zeroLine = [&](int ch) {
    const QImage& fft = window->Panel(ch).Spectrum()->Image();
    const int y = GridRow(0, E().Channel(ch).fftOffset, fft.height());
    return FromQColor(fft.pixelColor(fft.width() / 2, y)) == 0x303080;
  };
  EXPECT_TRUE(zeroLine(1));  // before any start
  window->MarkerDragged(1, -100000);
  EXPECT_TRUE(zeroLine(1));
  window->RecButtonClicked(0, 0, 0);
  window->RecButtonClicked(0, 0, 0);
  ASSERT_FALSE(E().Capturing(0));
  EXPECT_TRUE(zeroLine(0));  // and after a stop
}

TEST_F(FrmMainTest, RenameStoresTheTrimmedAnswerAndACancelChangesNothing) {
  Open(kThree);
  window->askText = [](const QString& prompt, const QString&, const QString& proposal) {
    EXPECT_EQ(prompt, "系統名");
    EXPECT_EQ(proposal, "系統名1");
    return std::optional<QString>("  スタジオA  ");
  };
  window->RenameChannel(0);
  EXPECT_EQ(window->Panel(0).Name()->FullName(), "スタジオA");
  EXPECT_EQ(ReadSetting("ChName_1", ""), "スタジオA");
  window->askText = [](const QString&, const QString&, const QString&) {
    return std::optional<QString>();
  };
  window->RenameChannel(0);
  EXPECT_EQ(window->Panel(0).Name()->FullName(), "スタジオA");
  // A name the setting cannot hold whole is refused, not stored cut.
  window->askText = [](const QString&, const QString&, const QString&) {
    return std::optional<QString>(QString(100, QChar(0x7CFB)));  // 系: 300 bytes
  };
  window->RenameChannel(0);
  EXPECT_EQ(window->Panel(0).Name()->FullName(), "スタジオA");
  EXPECT_EQ(ReadSetting("ChName_1", ""), "スタジオA");
  ASSERT_FALSE(notices.texts.empty());
  EXPECT_EQ(notices.texts.back(),
            "入力値が不正です\nChName_1 holds at most 254 bytes; this value has 300");
}

TEST_F(FrmMainTest, ADataFolderThatCannotExistIsShownWithTheReasonAndTheWindowRunsOn) {
  test::WriteText(dir / "plain", "a file where the data folder should be");
  Open(std::string(kThree) + "Soundpath=" + dir / "plain/data" + "\n");
  ASSERT_TRUE(loaded);
  ASSERT_FALSE(notices.texts.empty());
  EXPECT_EQ(notices.texts.front(),
            "データ用フォルダを作成できません\n" + dir / "plain/data/" + ": Not a directory");
  EXPECT_EQ(E().ChannelCount(), 3);
}

TEST_F(FrmMainTest, AMinimisedWindowRefusesAnOrdinaryCloseButNotASessionEnd) {
  Open(kThree);
  window->RecButtonClicked(0, 0, 0);
  window->showMinimized();
  if (!window->isMinimized()) GTEST_SKIP() << "this platform does not minimise windows";
  EXPECT_FALSE(window->QueryUnload(UnloadMode::FormControlMenu));
  EXPECT_TRUE(E().Capturing(0));
  EXPECT_TRUE(window->QueryUnload(UnloadMode::SessionEnd));
  EXPECT_FALSE(E().Capturing(0));
}

TEST_F(FrmMainTest, ClosingStoresTheDisplayChoicesAndThePlacementAndLogsTheEnd) {
  Open(kThree);
  window->RecButtonClicked(0, 0, 0);
  window->MarkerDragged(0, -100000);
  ASSERT_TRUE(window->QueryUnload(UnloadMode::FormControlMenu));
  window->Unload();
  EXPECT_FALSE(E().Capturing(0));
  EXPECT_FALSE(ReadSetting("FFTOffset_1", "").empty());
  EXPECT_NE(ReadSetting("WindowWidth", ""), "");
  const std::string events = test::ReadText(start.Program().Log().CurrentFilePath(false));
  EXPECT_NE(events.find("ch1 録音停止"), std::string::npos);
  EXPECT_NE(events.find("**************正常終了*****************"), std::string::npos);
}

// The loudness view: the corner goes on from PH to LUFS, the meter then
// shows one bar at the momentary loudness and the short-term figure, a
// channel left there is stored as 3, and switching the view off takes the
// meter back to RMS.
TEST_F(FrmMainTest, WithTheLoudnessViewTheCornerReachesAOneBarLufsMeter) {
  Open(std::string(kThree) + "LoudnessView=1\n");
  ChannelPanel& p = window->Panel(0);  // a stereo channel
  ASSERT_EQ(p.Vu().NumValue(), 1);
  const QImage rms = p.MeterBackground().copy();
  const int w = p.Meter()->width();
  const int h = p.Meter()->height();
  for (const MeterTextMode expected :
       {MeterTextMode::Peak, MeterTextMode::Hold, MeterTextMode::Lufs}) {
    window->MeterReleased(0, At(Qt::LeftButton, w - 2, h - 2));
    EXPECT_EQ(E().Channel(0).analysis.meterTextMode, expected);
  }
  EXPECT_EQ(p.Vu().NumValue(), 0);  // one bar
  EXPECT_NE(p.MeterBackground(), rms);

  LoudnessReadings readings;
  readings.momentaryLufs = -20.0;
  readings.shortTermLufs = -23.06;
  std::vector<int> asked;
  window->loudnessOf = [&](int ch) {
    asked.push_back(ch);
    return readings;
  };
  const VuBarValues block[] = {{0, -6.0f, -3.0f, "-06.0", 0.0f}, {1, -6.0f, -3.0f, "-06.0", 0.0f}};
  window->DrawMeter(0, block);
  EXPECT_EQ(asked, std::vector<int>{0});
  ASSERT_EQ(p.ShownBars().size(), 1u);
  EXPECT_EQ(p.ShownBars()[0], p.Vu().Shape(0, -20.0f, -20.0f, "-23.1", kNoHoldMark));
  window->DrawMeter(1, block);  // channel 2 stays on RMS: the block's own levels
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(window->Panel(1).ShownBars().size(), 2u);

  ASSERT_TRUE(window->QueryUnload(UnloadMode::FormControlMenu));
  EXPECT_EQ(ReadSetting("VUValueShows_1", ""), "3");
}

TEST_F(FrmMainTest, WithoutTheLoudnessViewAStoredLufsMeterReadsAsRmsAndIsNeverReached) {
  Open(std::string(kThree) + "VUValueShows_1=3\n");
  EXPECT_EQ(E().Channel(0).analysis.meterTextMode, MeterTextMode::Rms);
  ChannelPanel& p = window->Panel(0);
  EXPECT_EQ(p.Vu().NumValue(), 1);
  for (const MeterTextMode expected :
       {MeterTextMode::Peak, MeterTextMode::Hold, MeterTextMode::Rms}) {
    window->MeterReleased(0, At(Qt::LeftButton, p.Meter()->width() - 2, p.Meter()->height() - 2));
    EXPECT_EQ(E().Channel(0).analysis.meterTextMode, expected);
  }
  E().SetMeterTextMode(0, 3);
  EXPECT_EQ(E().Channel(0).analysis.meterTextMode, MeterTextMode::Rms);
}

TEST_F(FrmMainTest, SwitchingTheLoudnessViewOffTakesALufsMeterBackToRms) {
  Open(std::string(kThree) + "LoudnessView=1\nVUValueShows_1=3\n");
  EXPECT_EQ(E().Channel(0).analysis.meterTextMode, MeterTextMode::Lufs);
  EXPECT_EQ(window->Panel(0).Vu().NumValue(), 0);
  WriteSetting("LoudnessView", 0);  // as the basic settings dialog's OK does
  E().GetMiscSetting();
  EXPECT_EQ(E().Channel(0).analysis.meterTextMode, MeterTextMode::Rms);
  EXPECT_EQ(window->Panel(0).Vu().NumValue(), 1);
}

// A line whose device is missing: recording the default in its place gets
// the badge; waiting for its own device, the grey frame and "デバイス異常".
// With 警報表示 off neither shows.
TEST_F(FrmMainTest, AMissingDeviceShowsTheDefaultDeviceBadgeAndAlarmViewOffHidesIt) {
  Open(
      "NumRec=2\nShowRecButton=0\nDeviceName_1=Missing Mixer\nDeviceName_2=Sim Tone 1kHz\n"
      "BitRate_1=0\nBitRate_2=0\n");
  ASSERT_TRUE(E().Capturing(0));
  window->UpdateAlarms();
  ChannelPanel& missing = window->Panel(0);
  ASSERT_NE(missing.DefaultDeviceBadge(), nullptr);
  EXPECT_FALSE(missing.DefaultDeviceBadge()->isHidden());
  EXPECT_EQ(missing.ShownAlarm().frame, AlarmColour::None);
  EXPECT_EQ(window->Panel(1).ShownAlarm(), AlarmLook{});

  WriteSetting("AlarmView", 0);  // as the basic settings dialog's OK does
  window->ReadAlarmView();
  EXPECT_TRUE(missing.DefaultDeviceBadge()->isHidden());
  window->UpdateAlarms();  // the conditions still hold, but are not shown
  EXPECT_TRUE(missing.DefaultDeviceBadge()->isHidden());
}

TEST_F(FrmMainTest, ALineWaitingForItsOwnDeviceIsFramedGreyWithTheDeviceFault) {
  Open(
      "NumRec=1\nShowRecButton=0\nDeviceFallback=0\nDeviceName_1=Missing Mixer\nBitRate_1=0\n"
      "ChName_1=A\n");
  ASSERT_FALSE(E().Capturing(0));
  const auto picture = [this] { return window->grab().toImage(); };
  const QImage plain = picture();  // before the window looked at the line
  window->UpdateAlarms();
  EXPECT_FALSE(picture() == plain);
  // 警報表示 off: every pixel as without it, the condition still holding.
  WriteSetting("AlarmView", 0);
  window->ReadAlarmView();
  EXPECT_TRUE(picture() == plain);
  WriteSetting("AlarmView", 1);
  window->ReadAlarmView();
  const AlarmLook& look = window->Panel(0).ShownAlarm();
  EXPECT_EQ(look.frame, AlarmColour::Grey);
  EXPECT_FALSE(look.latched);
  EXPECT_EQ(look.inputText, kDeviceFailedText);
  EXPECT_FALSE(window->Panel(0).InputText()->isHidden());

  // Stopped by hand, the line stops waiting: the frame stays, paler, with
  // its count, until a click on the waveform.
  window->RecButtonClicked(0, 0, 0);
  window->UpdateAlarms();
  EXPECT_TRUE(window->Panel(0).ShownAlarm().latched);
  EXPECT_EQ(window->Panel(0).ShownAlarm().count, 1);
  EXPECT_TRUE(window->Panel(0).InputText()->isHidden());
  QTest::mouseClick(window->Panel(0).Wave(), Qt::LeftButton);
  EXPECT_EQ(window->Panel(0).ShownAlarm(), AlarmLook{});
}

}  // namespace
}  // namespace varn

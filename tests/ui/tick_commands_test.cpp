// Commands and the update tick in the window: a command that arrives while
// a tick runs (a click queued meanwhile) runs right after that tick, never
// inside it, and a settings reload's restart leaves the window running.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtTest/QTest>

#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/main_window/frm_main.h"
#include "util/user_notice.h"

namespace varn {
namespace {

class SilentNotices final : public UserNotice {
 public:
  SilentNotices() { SetActiveNotice(this); }
  ~SilentNotices() override { SetActiveNotice(nullptr); }
  void Show(std::string_view, std::string_view, NoticeIcon) override {}
};

// The window, watched from inside the engine's calls to it.
class WatchedWindow final : public FrmMain {
 public:
  using FrmMain::FrmMain;
  void DrawMeter(int ch, std::span<const VuBarValues> bars) override {
    if (onMeter) onMeter(ch);
    FrmMain::DrawMeter(ch, bars);
  }
  void ResetViews(int ch) override {
    if (onReset) onReset(ch);
    FrmMain::ResetViews(ch);
  }
  std::function<void(int)> onMeter;  // inside a tick
  std::function<void(int)> onReset;  // when a channel stops
};

class TickCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteText(dir / "varn.ini",
                    "[conf]\nNumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Ramp\n"
                    "BitRate_1=0\nBitRate_2=160\nShowRecButton=0\n");
    ASSERT_TRUE(start.Begin(dir.Path()));
    start.OpenAudio("sim");
    window = std::make_unique<WatchedWindow>(start);
    window->resize(1400, 900);
    ASSERT_TRUE(window->FormLoad());
    window->TimerStart();
  }
  void TearDown() override {
    window.reset();
    SetActiveStore(nullptr);
  }
  Engine& E() { return *window->GetEngine(); }

  test::TempDir dir;
  SilentNotices notices;
  ProgramStart start;
  std::unique_ptr<WatchedWindow> window;
};

TEST_F(TickCommandsTest, AClickDuringATickRunsRightAfterIt) {
  ASSERT_TRUE(E().Capturing(0));
  uint64_t tickOfClick = 0;
  uint64_t ticksWhenStopped = 0;
  window->onMeter = [&](int ch) {
    if (ch != 0 || tickOfClick != 0) return;
    tickOfClick = E().Stats().ticks + 1;  // this tick, once it has ended
    // The record button of channel 1, clicked while the tick draws.
    QMetaObject::invokeMethod(
        window.get(), [&] { window->RecButtonClicked(0, 0, 0); }, Qt::QueuedConnection);
  };
  window->onReset = [&](int ch) {
    if (ch == 0) ticksWhenStopped = E().Stats().ticks;
  };
  QTRY_VERIFY_WITH_TIMEOUT(ticksWhenStopped != 0, 5000);
  // The click ran once the tick was over (counted), before another began;
  // a tick that handled window messages would have run it inside.
  EXPECT_EQ(ticksWhenStopped, tickOfClick);
  EXPECT_FALSE(E().Capturing(0));
  EXPECT_TRUE(E().Capturing(1));
}

TEST_F(TickCommandsTest, ASettingsReloadReturnsAtOnceAndTheTicksRestartTheChannels) {
  ASSERT_TRUE(E().Capturing(0));
  QElapsedTimer took;
  took.start();
  E().GetMiscSetting();
  EXPECT_LT(took.elapsed(), 150);  // no 200 ms pause held in the command
  EXPECT_TRUE(E().RestartPending(0));
  const uint64_t ticks = E().Stats().ticks;
  QTRY_VERIFY_WITH_TIMEOUT(E().Capturing(0) && E().Capturing(1) && !E().RestartPending(1), 5000);
  EXPECT_GT(E().Stats().ticks, ticks + 10);  // the window ticked on through both pauses
}

}  // namespace
}  // namespace varn

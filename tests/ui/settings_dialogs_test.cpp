// The settings dialogs from the main window's menu buttons: each opens once,
// modeless over the window, and a confirmed dialog applies its values at
// once, restarting the running channels with them.

#include "ui/dialogs/settings_dialogs.h"

#include <gtest/gtest.h>

#include "dialog_driving.h"
#include "settings/settings_store.h"
#include "support/temp_dir.h"
#include "ui/dialogs/frm_conf.h"
#include "ui/dialogs/frm_conf_audit.h"
#include "ui/dialogs/frm_conf_sound.h"
#include "ui/main_window/frm_main.h"
#include "util/user_notice.h"

namespace varn {
namespace {

class QuietNotices final : public UserNotice {
 public:
  QuietNotices() { SetActiveNotice(this); }
  ~QuietNotices() override { SetActiveNotice(nullptr); }
  void Show(std::string_view, std::string_view, NoticeIcon) override {}
};

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteText(dir / "varn.ini",
                    "[conf]\nNumRec=2\nDeviceName_1=Sim Tone 1kHz\nDeviceName_2=Sim Ramp\n"
                    "BitRate_1=0\nBitRate_2=0\n");
    ASSERT_TRUE(start.Begin(dir.Path()));
    start.OpenAudio("sim");
    window = std::make_unique<FrmMain>(start);
    window->resize(1400, 900);
    ASSERT_TRUE(window->FormLoad());
    window->TimerStart();
  }
  void TearDown() override {
    window.reset();
    SetActiveStore(nullptr);
  }
  Engine& E() { return *window->GetEngine(); }
  template <class Dialog>
  Dialog* Opened(int button) {
    window->MenuButtonClicked(button);
    return dynamic_cast<Dialog*>(OpenSettingsDialog(button, window.get()));
  }

  test::TempDir dir;
  QuietNotices notices;
  ProgramStart start;
  std::unique_ptr<FrmMain> window;
};

TEST_F(SettingsDialogsTest, EachMenuButtonOpensItsDialogOnceModelessOverTheWindow) {
  auto* basic = Opened<FrmConf>(0);
  auto* sound = Opened<FrmConfSound>(1);
  auto* audit = Opened<FrmConfAudit>(2);
  for (DialogCanvas* d : std::initializer_list<DialogCanvas*>{basic, sound, audit}) {
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_TRUE(d->isWindow());
    EXPECT_EQ(d->parentWidget(), window.get());
    EXPECT_FALSE(d->isModal());
  }
  EXPECT_EQ(Opened<FrmConf>(0), basic);  // brought forward, not opened twice
  EXPECT_LE((basic->geometry().center() - window->geometry().center()).manhattanLength(), 8);
  EXPECT_EQ(sound->ComboDev(1)->currentText(), "Sim Ramp");
}

TEST_F(SettingsDialogsTest, AConfirmedDialogRestartsTheRunningChannelsWithItsValues) {
  window->RecButtonClicked(1, 0, 0);
  ASSERT_TRUE(E().Capturing(1));
  ASSERT_EQ(E().Channel(1).capture.SampleRate, 44100);
  auto* sound = Opened<FrmConfSound>(1);
  QTest::keyClick(sound->ComboFreq(1), Qt::Key_Up);  // 48000 on the second row
  const QPointer<QWidget> open = sound;
  test::ClickBarButton(sound->OKCancelButtons(), 1);
  EXPECT_TRUE(test::Gone(open));
  // The restart runs on the ticks after its pause; the window goes on.
  QTRY_VERIFY_WITH_TIMEOUT(E().Capturing(1), 5000);
  EXPECT_EQ(E().Channel(1).capture.SampleRate, 48000);
  EXPECT_FALSE(E().Capturing(0));  // a channel that was stopped stays stopped

  auto* basic = Opened<FrmConf>(0);
  test::TypeOver(basic->TextValue(0), "25");
  QTest::keyClick(basic->TextValue(0), Qt::Key_Return);
  EXPECT_EQ(E().Misc().updateIntervalMs, 25);

  auto* audit = Opened<FrmConfAudit>(2);
  audit->TabClicked(3);
  test::TypeOver(audit->TextValue(6), "0");
  test::ClickBarButton(audit->OKCancelButtons(), 1);
  EXPECT_EQ(E().Misc().selectedSet, 4);
  EXPECT_EQ(E().Misc().monitoring.puchiSense, 0);
}

}  // namespace
}  // namespace varn

// The alarm frames: what the look follows (start, end, latch, count,
// acknowledge, the ten minutes) and how a panel draws it: a frame per
// colour round the panel and the name in the same colour, the input's
// trouble over the waveform, the badges, and nothing at all left behind
// once the look is empty again.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScreen>
#include <QTest>

#include "display_pixels.h"
#include "qstring_print.h"
#include "ui/main_window/channel_panel.h"
#include "ui/main_window/panel_alarm.h"
#include "ui/twips.h"

namespace varn {
namespace {

TEST(PanelAlarm, AConditionFramesWhileItHoldsThenLatchesWithItsCountUntilSeenOrTenMinutes) {
  PanelAlarm alarm;
  LineConditions c;
  EXPECT_FALSE(alarm.Update(c, 0.0));
  EXPECT_EQ(alarm.Look(), AlarmLook{});

  c.lowLevel = true;
  EXPECT_TRUE(alarm.Update(c, 1.0));
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Amber);
  EXPECT_FALSE(alarm.Look().latched);
  EXPECT_FALSE(alarm.Update(c, 2.0));  // nothing changed: nothing to redraw

  c.overLevel = true;  // the more urgent colour wins while both hold
  alarm.Update(c, 3.0);
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Red);
  c.overLevel = false;
  alarm.Update(c, 4.0);
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Amber);  // what holds beats what is latched
  c.lowLevel = false;
  alarm.Update(c, 5.0);
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Red);  // both latched: the more urgent shows
  EXPECT_TRUE(alarm.Look().latched);
  EXPECT_EQ(alarm.Look().count, 1);
  c.overLevel = true;
  alarm.Update(c, 6.0);
  c.overLevel = false;
  alarm.Update(c, 7.0);
  EXPECT_EQ(alarm.Look().count, 2);

  // Seen: everything ended clears at once.
  EXPECT_TRUE(alarm.Acknowledge());
  EXPECT_EQ(alarm.Look(), AlarmLook{});

  // Unseen, a latched frame goes ten minutes after its condition ended.
  c.stalled = true;
  alarm.Update(c, 10.0);
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Grey);
  EXPECT_EQ(alarm.Look().inputText, kStalledText);
  c.stalled = false;
  alarm.Update(c, 20.0);
  EXPECT_TRUE(alarm.Look().latched);
  EXPECT_TRUE(alarm.Look().inputText.empty());
  EXPECT_FALSE(alarm.Update(c, 20.0 + kAlarmLatchSec - 1.0));
  EXPECT_TRUE(alarm.Update(c, 20.0 + kAlarmLatchSec));
  EXPECT_EQ(alarm.Look(), AlarmLook{});

  // A condition that holds is not acknowledged away; the badges follow
  // their conditions alone.
  c.deviceFailed = true;
  c.writeFailing = true;
  c.onDefaultDevice = true;
  alarm.Update(c, 700.0);
  alarm.Acknowledge();
  EXPECT_EQ(alarm.Look().frame, AlarmColour::Grey);
  EXPECT_EQ(alarm.Look().inputText, kDeviceFailedText);
  EXPECT_TRUE(alarm.Look().writeFailBadge);
  EXPECT_TRUE(alarm.Look().defaultDeviceBadge);
  c = LineConditions{};
  alarm.Update(c, 701.0);
  EXPECT_FALSE(alarm.Look().writeFailBadge);
  EXPECT_FALSE(alarm.Look().defaultDeviceBadge);
  EXPECT_EQ(alarm.Look().count, 1);
}

class PanelAlarmLookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    layout_ = LayoutPanels(Input());
    container_.resize(layout_.all.width / 15, layout_.all.height / 15);
    panel_ =
        std::make_unique<ChannelPanel>(5, &container_, layout_.panels[5], layout_, PanelOptions{});
    panel_->Name()->ShowName("系統6");
    panel_->ShowIdleViews(48000, 50.0f);
    container_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container_));
  }
  virtual PanelLayoutInput Input() const {
    PanelLayoutInput in;
    in.clientWidth = 1600 * 15;
    in.clientHeight = 1000 * 15;
    in.channels = 8;
    return in;
  }
  QImage Screen() {
    QCoreApplication::processEvents();
    return container_.screen()
        ->grabWindow(container_.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  // A pixel of the frame's top edge (4 pixels wide, 2 above the panel) and
  // of the name's background.
  int FramePixel(const QImage& s) {
    const QRect name = panel_->Name()->geometry();
    return test::PixelBgr(s, name.center().x(), name.top() - 4);
  }
  int NameBack(const QImage& s) {
    const QRect name = panel_->Name()->geometry();
    return test::PixelBgr(s, name.right() - 1, name.top() + 1);
  }

  PanelLayout layout_;
  QWidget container_;
  std::unique_ptr<ChannelPanel> panel_;
};

TEST_F(PanelAlarmLookTest, EachColourFramesThePanelAndBacksTheNameAndAnEmptyLookLeavesNoTrace) {
  const QImage before = Screen();
  const int plainName = NameBack(before);
  struct Case {
    AlarmLook look;
    int bgr;  // the frame's and the name's colour, 0x00BBGGRR
  };
  const auto lookOf = [](AlarmColour colour, bool latched = false, int count = 0) {
    AlarmLook look;
    look.frame = colour;
    look.latched = latched;
    look.count = count;
    return look;
  };
  const AlarmLook red = lookOf(AlarmColour::Red);
  const AlarmLook amber = lookOf(AlarmColour::Amber);
  AlarmLook grey = lookOf(AlarmColour::Grey);
  grey.inputText = kStalledText;
  const AlarmLook paleRed = lookOf(AlarmColour::Red, true, 3);
  for (const Case& c : {Case{red, 0x2020E0}, Case{amber, 0x00A0F0}, Case{grey, 0x606060},
                        Case{paleRed, 0xA8A8F0}}) {
    panel_->ShowAlarm(c.look);
    const QImage s = Screen();
    EXPECT_EQ(FramePixel(s), c.bgr);
    EXPECT_EQ(NameBack(s), c.bgr);
    // The left and right edges run the panel's full height.
    const QWidget* left = panel_->FrameEdge(2);
    const QWidget* right = panel_->FrameEdge(3);
    const QRect box = panel_->Meter()->geometry().united(panel_->Scale()->geometry());
    EXPECT_LT(left->geometry().right(), box.left());
    EXPECT_GT(right->geometry().left(), box.right());
    EXPECT_LE(left->geometry().top(), panel_->Name()->geometry().top());
    EXPECT_GE(left->geometry().bottom(), box.bottom());
  }
  EXPECT_TRUE(panel_->InputText()->isHidden());
  EXPECT_EQ(panel_->CountText()->text(), "×3");
  EXPECT_TRUE(panel_->CountText()->isVisible());
  EXPECT_TRUE(panel_->WriteFailBadge()->isHidden());

  panel_->ShowAlarm(AlarmLook{});
  const QImage after = Screen();
  EXPECT_EQ(NameBack(after), plainName);
  EXPECT_TRUE(after == before) << "an empty look must leave every pixel as it was";
}

// The count and the badges never cover each other, the text over the
// waveform or (where the name's row has room) the name.
void ExpectApart(const std::vector<QWidget*>& shown) {
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_TRUE(shown[i]->isVisible()) << i;
    for (size_t j = i + 1; j < shown.size(); ++j)
      EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry())) << i << " " << j;
  }
}

AlarmLook Everything() {
  AlarmLook look;
  look.frame = AlarmColour::Red;
  look.latched = true;
  look.count = 12;
  look.writeFailBadge = true;
  look.defaultDeviceBadge = true;
  return look;
}

// Two lines side by side: the name's row has room for the badges.
class WidePanelAlarmLookTest : public PanelAlarmLookTest {
 protected:
  PanelLayoutInput Input() const override {
    PanelLayoutInput in = PanelAlarmLookTest::Input();
    in.channels = 6;
    in.maxNumX = 3;
    return in;
  }
};

TEST_F(WidePanelAlarmLookTest, TheBadgesAndTheCountTakeTheNamesRowAndGiveItBackAfter) {
  const QRect row = panel_->Name()->geometry();
  panel_->ShowAlarm(Everything());
  Screen();
  EXPECT_EQ(panel_->CountText()->text(), "×12");
  EXPECT_EQ(panel_->WriteFailBadge()->text(), "書込失敗");
  EXPECT_EQ(panel_->DefaultDeviceBadge()->text(), "既定デバイス");
  ExpectApart({panel_->Name(), panel_->WriteFailBadge(), panel_->DefaultDeviceBadge(),
               panel_->CountText()});
  for (QWidget* mark : {static_cast<QWidget*>(panel_->WriteFailBadge()),
                        static_cast<QWidget*>(panel_->DefaultDeviceBadge()),
                        static_cast<QWidget*>(panel_->CountText())})
    EXPECT_TRUE(row.contains(mark->geometry()));
  EXPECT_TRUE(panel_->CountText()->testAttribute(Qt::WA_TransparentForMouseEvents));

  panel_->ShowAlarm(AlarmLook{});
  EXPECT_EQ(panel_->Name()->geometry(), row);
}

// The narrowest panels: eight side by side on the smallest usual screen.
class NarrowPanelAlarmLookTest : public PanelAlarmLookTest {
 protected:
  PanelLayoutInput Input() const override {
    PanelLayoutInput in;
    in.clientWidth = 1024 * 15;
    in.clientHeight = 768 * 15;
    in.channels = 8;
    in.maxNumX = 8;
    return in;
  }
};

TEST_F(NarrowPanelAlarmLookTest, TheInputsTroubleAndTheBadgesFitOverTheWaveformApart) {
  AlarmLook look = Everything();
  look.latched = false;
  look.frame = AlarmColour::Grey;
  look.inputText = kDeviceFailedText;
  panel_->ShowAlarm(look);
  Screen();
  QLabel* text = panel_->InputText();
  EXPECT_EQ(text->text(), "デバイス異常");
  EXPECT_TRUE(panel_->Wave()->geometry().contains(text->geometry()))
      << "the text stays inside the waveform";
  EXPECT_TRUE(text->testAttribute(Qt::WA_TransparentForMouseEvents));
  // The name's row has no room: the badges go over the waveform's top.
  const QRect wave(panel_->Wave()->mapTo(panel_->Wave()->window(), QPoint(0, 0)),
                   panel_->Wave()->size());
  EXPECT_TRUE(wave.contains(panel_->WriteFailBadge()->geometry()));
  EXPECT_TRUE(wave.contains(panel_->DefaultDeviceBadge()->geometry()));
  ExpectApart({panel_->WriteFailBadge(), panel_->DefaultDeviceBadge()});
  const QRect centre(text->mapTo(text->window(), QPoint(0, 0)), text->size());
  EXPECT_FALSE(centre.intersects(panel_->WriteFailBadge()->geometry()));

  panel_->ShowAlarm(Everything());
  Screen();
  EXPECT_TRUE(panel_->InputText()->isHidden());
  ExpectApart({panel_->WriteFailBadge(), panel_->DefaultDeviceBadge(), panel_->CountText()});
  EXPECT_TRUE(wave.contains(panel_->CountText()->geometry()));
}

}  // namespace
}  // namespace varn

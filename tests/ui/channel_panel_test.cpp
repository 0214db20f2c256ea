// A channel panel fed blocks as the engine feeds them, its repaints paced
// by frames: what reaches the screen, repaint by partial repaint, is the
// picture a whole redraw of every block makes.

#include "ui/main_window/channel_panel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontInfo>
#include <QScreen>
#include <QTest>
#include <random>
#include <string>
#include <vector>

#include "display_pixels.h"
#include "qstring_print.h"
#include "ui/display/c_vu.h"
#include "ui/display/display_font.h"
#include "ui/display/spectrum_grid.h"
#include "ui/fonts/packaged_face.h"
#include "ui/main_window/repaint_pacer.h"
#include "ui/twips.h"

namespace varn {
namespace {

constexpr int kRate = 48000;
constexpr int kSegment = 2304;

class ChannelPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    PanelLayoutInput in;
    in.clientWidth = 1600 * 15;
    in.clientHeight = 1000 * 15;
    in.channels = 8;
    layout_ = LayoutPanels(in);
    container_.resize(layout_.all.width / 15, layout_.all.height / 15);
    PanelOptions options;
    options.pacer = &pacer_;
    panel_ = std::make_unique<ChannelPanel>(0, &container_, layout_.panels[0], layout_, options);
    container_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&container_));
    panel_->Marker()->hide();  // it covers a corner of the spectrum
    panel_->DrawMeterBackground(MeterTextMode::Rms);
    panel_->ChannelStarted(kRate, kSegment);
  }
  // A frame now, painted at once.
  void ShowFrame() {
    pacer_.Frame();
    QCoreApplication::processEvents();
  }
  QImage OnScreen(QWidget* view) {
    const QImage screen = container_.screen()
                              ->grabWindow(container_.winId())
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    return screen.copy(QRect(view->mapTo(&container_, QPoint(0, 0)), view->size()));
  }

  PanelLayout layout_;
  QWidget container_;
  RepaintPacer pacer_{1000};  // frames only when the test shows them
  std::unique_ptr<ChannelPanel> panel_;
};

TEST_F(ChannelPanelTest, TheScreenShowsWhatAWholeRedrawOfEveryBlockMakes) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> step(-1.5f, 1.5f);  // levels move a little per block
  std::uniform_int_distribution<int> sample(-20000, 20000);
  std::uniform_real_distribution<double> bin(0.0, 3000000.0);

  const QSize waveSize = panel_->Wave()->size();
  QImage wave(waveSize, QImage::Format_RGB32);
  wave.fill(Qt::black);
  WaveGeometry geometry =
      MakeWaveGeometry(waveSize, 1.0f, SamplesPerColumn(kSegment, waveSize.width()));
  geometry.stereoScale = geometry.monoScale = 0.002;

  QImage meter;
  std::vector<double> averaged(kSpectrumBins), hold(kSpectrumBins);
  int frames = 0;
  float levels[2] = {-30.0f, -20.0f};
  for (int block = 0; block < 150; ++block) {
    std::vector<std::string> texts;
    texts.reserve(2);  // the bars view the texts: no reallocation
    std::vector<VuBarValues> bars;
    for (int i = 0; i < 2; ++i) {
      const float v = levels[i] = std::clamp(levels[i] + step(random), -60.0f, 3.0f);
      texts.push_back(std::to_string(static_cast<int>(v)));
      bars.push_back({i, v, v + 2.0f, texts.back(), block % 4 == 0 ? kNoHoldMark : v + 5.0f});
    }
    std::vector<Frame> samples(kSegment);
    for (Frame& f : samples) f = Frame{static_cast<int16_t>(sample(random) * (block % 5) / 4), 0};
    for (size_t j = 0; j < averaged.size(); ++j) {
      averaged[j] = bin(random) / static_cast<double>(j + 1);
      hold[j] = std::max(hold[j] * 0.98, averaged[j]);
    }
    panel_->DrawSpectrum(averaged, hold, 50.0f, 1.0f);
    panel_->DrawMeter(bars);
    panel_->DrawWaveform(samples, StereoMode::Stereo, geometry.stereoScale, geometry.monoScale);

    meter = panel_->MeterBackground().copy();
    QPainter painter(&meter);
    for (const VuBarValues& bar : bars)
      panel_->Vu().DrawVU(painter, bar.index, bar.vu, bar.peak, bar.text, bar.hold);
    DrawWaveform(wave, samples, StereoMode::Stereo, geometry);
    // Frames come at their own pace: after one block, or after a few.
    if (block % 3 != 1) {
      ShowFrame();
      ++frames;
    }
  }
  ShowFrame();  // nothing is left marked: no frame is counted
  EXPECT_EQ(pacer_.FramesShown(), frames);
  EXPECT_EQ(OnScreen(panel_->Meter()), meter);
  EXPECT_EQ(OnScreen(panel_->Wave()), wave);
  EXPECT_EQ(OnScreen(panel_->Spectrum()), panel_->Spectrum()->Image());
}

TEST_F(ChannelPanelTest, AMeterWaitingForItsFrameKeepsItsOwnFigures) {
  std::vector<std::string> texts{"-12.3", "-14.5"};
  const std::vector<VuBarValues> bars{{0, -12.0f, -6.0f, texts[0], kNoHoldMark},
                                      {1, -14.0f, -8.0f, texts[1], kNoHoldMark}};
  panel_->DrawMeter(bars);
  texts[0] = "-99.9";  // the engine's storage moves on before the frame
  texts.clear();
  ShowFrame();
  ASSERT_EQ(panel_->ShownBars().size(), 2u);
  EXPECT_EQ(panel_->ShownBars()[0].text, "-12.3");
  EXPECT_EQ(panel_->ShownBars()[1].text, "-14.5");
}

// The panel is given no family: each of its texts must still name the UI
// face (the test main pins it), never leave the choice to fontconfig.
TEST_F(ChannelPanelTest, EveryTextIsInTheUiFace) {
  auto face = [](const QFont& font) { return QFontInfo(font).family(); };
  for (int cell = 0; cell < 8; ++cell)
    EXPECT_EQ(face(panel_->Levels()->CellFont(cell)), PackagedUiFace()) << cell;
  EXPECT_EQ(face(panel_->Name()->font()), PackagedUiFace());
  EXPECT_EQ(face(panel_->Frequency()->font()), PackagedUiFace());
  // The meter, its caption and the scale strip: the views' default.
  EXPECT_EQ(face(DisplayFont(QString(), 9.0)), PackagedUiFace());
}

TEST_F(ChannelPanelTest, ALongNameShrinksToSixtyPercentThenIsCutAndAShortOneKeepsItsSize) {
  NameLabel* name = panel_->Name();
  ASSERT_EQ(QFontInfo(name->font()).family(), PackagedUiFace());  // the face measured
  const int room = name->contentsRect().width();
  panel_->Name()->ShowName("系統名1");
  EXPECT_EQ(name->font().pixelSize(), 24);  // 18 points at 15 twips a pixel
  const QString longName = "第二スタジオ送出";
  ASSERT_GT(QFontMetrics(name->font()).horizontalAdvance(longName), room);
  name->ShowName(longName);
  EXPECT_EQ(name->text(), longName);
  EXPECT_LE(QFontMetrics(name->font()).horizontalAdvance(longName), room);
  EXPECT_LT(name->font().pixelSize(), 24);
  QFont larger = name->font();  // no smaller than it must be
  larger.setPixelSize(larger.pixelSize() + 1);
  EXPECT_GT(QFontMetrics(larger).horizontalAdvance(longName), room);
  EXPECT_EQ(name->toolTip(), QString());  // shown whole: nothing to add

  // Too long even at 60 %: cut with "…" at that size, whole as the tooltip.
  const QString longer = "第二スタジオ送出本線と予備系統の切替監視用の回線";
  name->ShowName(longer);
  EXPECT_EQ(name->font().pixelSize(), 14);  // 60 % of 18 points: 10.8 points
  EXPECT_TRUE(name->text().endsWith(QChar(0x2026))) << name->text().toStdString();
  EXPECT_TRUE(longer.startsWith(name->text().chopped(1)));
  EXPECT_LE(QFontMetrics(name->font()).horizontalAdvance(name->text()), room);
  EXPECT_EQ(name->toolTip(), longer);
  EXPECT_EQ(name->FullName(), longer);
  name->SetNameFont(PackagedUiFace(), 18.0f);  // a new font cuts the whole name afresh
  EXPECT_EQ(name->toolTip(), longer);
  name->ShowName("系統名1");
  EXPECT_EQ(name->toolTip(), QString());
}

TEST_F(ChannelPanelTest, ALevelFigureTooWideForItsCellShrinksToFitWhole) {
  LevelFigures* levels = panel_->Levels();
  ASSERT_EQ(QFontInfo(levels->CellFont(2)).family(), PackagedUiFace());  // the face measured
  levels->SetCell(2, "-35.1db");
  EXPECT_EQ(levels->CellFont(2).pointSizeF(), 10.0);
  // A quiet line can read below -100 dB: too wide for the Min cell at 10 points.
  const QString silence = "-108.2db";
  levels->SetCell(2, silence);
  QFont regular = levels->CellFont(2);
  regular.setPointSizeF(10.0);
  ASSERT_GT(QFontMetrics(regular).horizontalAdvance(silence), levels->CellRoom(2));
  const QFont fitted = levels->CellFont(2);
  EXPECT_LE(QFontMetrics(fitted).horizontalAdvance(silence), levels->CellRoom(2));
  EXPECT_GE(fitted.pointSizeF(), 8.0);  // smaller, not tiny
}

TEST_F(ChannelPanelTest, MeterSizesAreRoundedHalfToEven) {
  // Two rows at 1000 pixels: a scale of 952 / 1080.
  const float s = 952.0f / 1080.0f;
  ASSERT_FLOAT_EQ(layout_.panelScale, s);
  const C_VU& vu = panel_->Vu();
  EXPECT_EQ(vu.BarWidth(), 16);             // 15.87
  EXPECT_EQ(vu.BarWidthStep(), 2);          // 1.76
  EXPECT_FLOAT_EQ(vu.BarMargin(), 132.0f);  // 132.2
  EXPECT_FLOAT_EQ(vu.TopMargin(), 185.0f);  // 185.1
}

TEST_F(ChannelPanelTest, AStandingChannelShowsItsGridAndScale) {
  panel_->Scale()->Clear();
  panel_->Spectrum()->Clear();
  panel_->ShowIdleViews(kRate, 50.0f);
  const QImage& fft = panel_->Spectrum()->Image();
  const int zero = GridRow(0, 50.0f, fft.height());
  const int x = fft.width() / 2;
  EXPECT_EQ(test::PixelBgr(fft, x, zero), 0x303080);
  const QImage& scale = panel_->Scale()->Image();
  int ink = 0;
  for (int y = 0; y < scale.height(); ++y)
    for (int c = 0; c < scale.width(); ++c) ink += test::PixelBgr(scale, c, y) < 0x404040;
  EXPECT_GT(ink, 50);  // the labels, dark on the light strip

  // Bars while it runs (drawn for the frame, or when the view is asked
  // for); the bare grid again once it stops, even with a block still
  // waiting for its frame then.
  const std::vector<double> loud(kSpectrumBins, 3000000.0);
  panel_->DrawSpectrum(loud, loud, 50.0f, 1.0f);
  EXPECT_NE(test::PixelBgr(panel_->Spectrum()->Image(), x, fft.height() - 1), 0x000000);
  panel_->DrawSpectrum(loud, loud, 50.0f, 1.0f);
  panel_->ResetViews(50.0f);
  ShowFrame();
  EXPECT_EQ(test::PixelBgr(fft, x, fft.height() - 1), 0x000000);
  EXPECT_EQ(test::PixelBgr(fft, x, zero), 0x303080);
}

}  // namespace
}  // namespace varn

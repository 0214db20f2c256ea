// The live views redraw only what changed; the pictures they keep must be
// the very pictures the whole redraw makes from the same blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "display_pixels.h"
#include "ui/display/c_vu.h"
#include "ui/display/meter_drawing.h"
#include "ui/display/spectrum_view.h"
#include "ui/display/waveform_view.h"
#include "ui/twips.h"

namespace varn {
namespace {

// Pixels that differ between two pictures outside `area`.
int ChangedOutside(const QImage& a, const QImage& b, const QRegion& area) {
  std::vector<char> inside(static_cast<size_t>(a.width() * a.height()), 0);
  for (const QRect& r : area& a.rect())
    for (int y = r.top(); y <= r.bottom(); ++y)
      std::fill_n(inside.begin() + y * a.width() + r.left(), r.width(), 1);
  int n = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x)
      n += !inside[static_cast<size_t>(y * a.width() + x)] && pa[x] != pb[x];
  }
  return n;
}

// A run of meter readings: mostly small moves, now and then a jump, a
// silent bar, a reading repeated, a missing bar, a level past 0 dB.
class Readings {
 public:
  explicit Readings(int bars) : levels_(static_cast<size_t>(bars), -30.0f) {}

  std::vector<VuBarValues> Next() {
    std::vector<VuBarValues> out;
    texts_.clear();
    texts_.reserve(levels_.size());
    const bool repeat = Chance(0.1) && !last_.empty();
    for (size_t i = 0; i < levels_.size(); ++i) {
      if (repeat) break;
      if (i > 0 && Chance(0.05)) continue;  // this update leaves the bar out
      float& v = levels_[i];
      v = Chance(0.1) ? Uniform(-100.0f, 12.0f)
                      : std::clamp(v + Uniform(-1.5f, 1.5f), -99.9f, 12.0f);
      char text[16];
      std::snprintf(text, sizeof text, "%.1f", static_cast<double>(v));
      // Now and then no figure, or one in another script.
      texts_.emplace_back(Chance(0.1) ? "" : (Chance(0.05) ? "過大" : text));
      VuBarValues bar;
      bar.index = static_cast<int>(i);
      bar.vu = v;
      bar.peak = v + Uniform(0.0f, 6.0f);
      bar.text = texts_.back();
      bar.hold = Chance(0.3) ? kNoHoldMark : bar.peak + Uniform(0.0f, 3.0f);
      out.push_back(bar);
    }
    if (repeat) return last_;
    last_ = out;
    return out;
  }

 private:
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  float Uniform(float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(random_);
  }

  std::mt19937 random_{20240611};
  std::vector<float> levels_;
  std::vector<std::string> texts_;
  std::vector<VuBarValues> last_;
};

struct MeterLook {
  int bars;
  int barWidth;
  int step;
  float font;
};

// Two meters of one look on one background: one kept live, one redrawn
// whole for every block.
class LiveMeterPair : public ::testing::Test {
 protected:
  void Configure(const MeterLook& look) {
    SetTwipsPerPixel(15);
    live_ = QImage(376, 116, QImage::Format_RGB32);
    whole_ = live_;
    background_ = QImage(live_.size(), QImage::Format_RGB32);
    for (C_VU* vu : {&liveVu_, &wholeVu_}) {
      vu->SetUseBG(1);
      vu->SetFontSize(0, look.font);
      vu->SetMargin(720, 1400, 0, 150);
      vu->SetNumValue(look.bars - 1);
      vu->SetStrType(0);
      vu->SetBarWidth(look.barWidth);
      vu->SetBarWidthStep(look.step);
      vu->SetBarMargin(150);
      vu->SetTopMargin(210);
    }
    liveVu_.SetPictureBox(&live_);
    liveVu_.SetParms();
    wholeVu_.SetPictureBox(&whole_);
    wholeVu_.SetParms();
    DrawMeterBackground(liveVu_, background_, MeterTextMode::Rms, {});
    DrawMeterBackground(wholeVu_, background_, MeterTextMode::Rms, {});
  }
  void TearDown() override {
    liveVu_.ClosePictureBox();
    wholeVu_.ClosePictureBox();
  }

  QImage live_, whole_, background_;
  C_VU liveVu_, wholeVu_;
  LiveMeter meter_;
};

class LiveMeterTest : public LiveMeterPair, public ::testing::WithParamInterface<MeterLook> {
 protected:
  void SetUp() override { Configure(GetParam()); }
};

TEST_P(LiveMeterTest, MatchesTheWholeRedrawBlockForBlock) {
  Readings readings(GetParam().bars);
  for (int block = 0; block < 400; ++block) {
    const std::vector<VuBarValues> bars = readings.Next();
    const QRegion changed = meter_.Update(liveVu_, background_, bars);
    const QImage before = whole_.copy();
    DrawMeter(wholeVu_, background_, bars);
    ASSERT_EQ(live_, whole_) << "block " << block;
    ASSERT_EQ(ChangedOutside(before, whole_, changed), 0) << "block " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(Looks, LiveMeterTest,
                         ::testing::Values(MeterLook{2, 9, 2, 16.0f}, MeterLook{1, 16, 1, 10.0f},
                                           MeterLook{2, 4, 1, 22.0f}));

TEST_F(LiveMeterPair, AMovedBarRepaintsOnlyItsChangeAndAStillOneNothing) {
  Configure({2, 9, 2, 16.0f});
  const VuBarValues first[] = {{0, -20.0f, -10.0f, "-20.0", kNoHoldMark},
                               {1, -20.0f, -10.0f, "-20.0", kNoHoldMark}};
  EXPECT_EQ(meter_.Update(liveVu_, background_, first), QRegion(live_.rect()));
  EXPECT_TRUE(meter_.Update(liveVu_, background_, first).isEmpty());
  const VuBarValues louder[] = {{0, -19.0f, -10.0f, "-20.0", kNoHoldMark}, first[1]};
  const QRegion changed = meter_.Update(liveVu_, background_, louder);
  const QRect box = changed.boundingRect();
  EXPECT_LT(box.width(), 10);
  EXPECT_LT(box.bottom(), liveVu_.Shape(1, -20.0f, -10.0f, "", kNoHoldMark).centre);
  live_.fill(Qt::white);  // altered elsewhere: the next update is a whole one
  EXPECT_EQ(meter_.Update(liveVu_, background_, louder), QRegion(live_.rect()));
  EXPECT_EQ(live_, (DrawMeter(wholeVu_, background_, louder), whole_));
}

// Blocks of a slowly varying envelope with steps, as programme material.
std::vector<Frame> Block(std::mt19937& random, size_t frames) {
  std::vector<Frame> block(frames);
  std::uniform_int_distribution<int> level(0, 30000);
  int peak = level(random);
  for (size_t i = 0; i < frames; ++i) {
    if (i % 97 == 0) peak = level(random);
    const auto l = static_cast<int16_t>(peak * ((i % 7) - 3) / 3);
    block[i] = Frame{l, static_cast<int16_t>(-l / 2)};
  }
  return block;
}

TEST(WaveformRing, ShownFromItsStartItIsTheScrolledPicture) {
  SetTwipsPerPixel(15);
  std::mt19937 random(7);
  for (const int width : {376, 240, 119, 1}) {
    QImage scrolled = test::FilledImage(width, 90, 0);
    QImage ring = scrolled;
    const WaveGeometry geometry =
        MakeWaveGeometry(ring.size(), 1.0f, SamplesPerColumn(2304, width));
    int start = 0;
    for (int block = 0; block < 300; ++block) {
      const StereoMode mode = block < 150 ? StereoMode::Stereo : StereoMode::MonoRight;
      // Now and then a block shorter than its columns, as at a stop.
      const std::vector<Frame> frames = Block(random, block % 37 == 5 ? 700 : 2304);
      DrawWaveform(scrolled, frames, mode, geometry);
      DrawWaveformRing(ring, start, frames, mode, geometry);
      ASSERT_GE(start, 0);
      ASSERT_LT(start, width);
      QImage shown(ring.size(), ring.format());
      for (int y = 0; y < 90; ++y)
        for (int x = 0; x < width; ++x) shown.setPixel(x, y, ring.pixel((start + x) % width, y));
      ASSERT_EQ(shown, scrolled) << "width " << width << ", block " << block;
    }
  }
}

TEST(SpectrumLive, MatchesAFreshDrawAndHandsOnOnlyWhatChanged) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> someBin(1, kSpectrumBins - 60);
  SpectrumView live;
  QImage picture(376, 130, QImage::Format_RGB32);
  std::vector<double> averaged(kSpectrumBins), hold(kSpectrumBins);
  QImage last;
  for (int block = 0; block < 400; ++block) {
    const int kind = block % 8;  // 0: all bins anew, 1: a repeat, else a few bins move
    const double scale = block % 80 < 40 ? 30000.0 : 3000000.0;  // quiet, then loud
    if (kind == 0) {
      for (size_t j = 0; j < averaged.size(); ++j)
        averaged[j] = scale * unit(random) / (1 + j / 50);
    } else if (kind > 1) {
      const int first = someBin(random);
      for (int j = first; j < first + 1 + kind * 6; ++j)
        averaged[static_cast<size_t>(j)] *= 0.5 + unit(random);
    }
    if (kind != 1) {
      const double decay = block % 3 == 0 ? 0.97 : 1.0;  // the hold falls only now and then
      for (size_t j = 0; j < hold.size(); ++j) hold[j] = std::max(hold[j] * decay, averaged[j]);
    }
    const float offset = block < 200 ? 50.0f : 30.0f;
    const QRegion changed = live.Draw(picture, averaged, hold, offset, 1.0f, 48000);
    QImage fresh(picture.size(), picture.format());
    SpectrumView().Draw(fresh, averaged, hold, offset, 1.0f, 48000);
    ASSERT_EQ(picture, fresh) << "block " << block;
    if (block == 0 || block == 200) {
      EXPECT_EQ(changed, QRegion(picture.rect()));
    } else {
      ASSERT_EQ(ChangedOutside(last, picture, changed), 0) << "block " << block;
      if (kind == 1) {
        EXPECT_TRUE(changed.isEmpty()) << "block " << block;
      }
      if (kind > 1 && block % 3 != 0) {  // a few bins move a few columns
        EXPECT_LT(changed.boundingRect().width(), picture.width() / 2) << "block " << block;
      }
    }
    last = picture.copy();
  }
  picture.fill(Qt::red);  // altered elsewhere
  EXPECT_EQ(live.Draw(picture, averaged, hold, 30.0f, 1.0f, 48000), QRegion(picture.rect()));
}

}  // namespace
}  // namespace varn

#include "ui/main_window/channel_panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/controls/control_font.h"
#include "ui/display/c_vu.h"
#include "ui/fonts/font_cache.h"
#include "ui/fonts/ui_font.h"
#include "ui/main_window/repaint_pacer.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kMarkerPixels = 12;
constexpr float kNamePoints = 18.0f;
// A name too wide for its label shrinks in steps of this many points.
constexpr float kNameStepPoints = 0.5f;
// The smallest a name is drawn, as a share of its size.
constexpr float kNameLeastShare = 0.6f;

QWidget* BlackFrame(QWidget* parent, const TwipRect& rect) {
  auto* frame = new QWidget(parent);
  frame->setAutoFillBackground(true);
  QPalette pal = frame->palette();
  pal.setColor(QPalette::Window, Qt::black);
  frame->setPalette(pal);
  PlaceInTwips(frame, rect);
  return frame;
}

// A view inside its frame, 3 pixels in from the frame's edges.
ImageView* InnerView(QWidget* frame) {
  auto* view = new ImageView(frame);
  view->setGeometry(3, 3, std::max(frame->width() - 6, 1), std::max(frame->height() - 6, 1));
  return view;
}
}  // namespace

void PlaceInTwips(QWidget* widget, const TwipRect& rect) {
  widget->setGeometry(TwipsToPixels(rect.left), TwipsToPixels(rect.top),
                      std::max(TwipsToPixels(rect.width), 1),
                      std::max(TwipsToPixels(rect.height), 1));
}

void NameLabel::SetNameFont(const QString& face, float points) {
  face_ = face;
  points_ = points;
  ShowName(full_);
}

void NameLabel::ShowName(const QString& name) {
  const int room = contentsRect().width() - 2 * margin();
  QFont font = CachedControlFont(points_, false, face_).font;
  QString shown = name;
  const int width = QFontMetrics(font).horizontalAdvance(name);
  if (width > room && room > 0) {
    // From about the size that fits, down in half points until it does, but
    // never below kNameLeastShare of the size: further down a name cannot be
    // read from across the room, so there it is cut instead.
    const float least = points_ * kNameLeastShare;
    float points = std::floor(points_ * static_cast<float>(room) / static_cast<float>(width) /
                              kNameStepPoints) *
                   kNameStepPoints;
    for (points = std::max(points, least); points > least; points -= kNameStepPoints) {
      font = CachedControlFont(points, false, face_).font;
      if (QFontMetrics(font).horizontalAdvance(name) <= room) break;
    }
    if (points <= least) {
      font = CachedControlFont(least, false, face_).font;
      shown = QFontMetrics(font).elidedText(name, Qt::ElideRight, room);
    }
  }
  setFont(font);
  setText(shown);
  full_ = name;
  // The whole name is at hand under the pointer once it is cut.
  setToolTip(shown == name ? QString() : name);
}

void NameLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (onRelease) onRelease();
}

void MarkerWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(0x80, 0x30, 0x30));
  p.setBrush(QColor(0xE0, 0x60, 0x40));
  // A small arrow pointing at the 0 dB line.
  const QPolygon arrow({QPoint(0, 0), QPoint(width() - 1, height() / 2), QPoint(0, height() - 1)});
  p.drawPolygon(arrow);
}

void MarkerWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  if (onDrag) onDrag(static_cast<int>(event->position().y()) * TwipsPerPixel());
}

ChannelPanel::ChannelPanel(int ch, QWidget* container, const PanelRects& rects,
                           const PanelLayout& layout, const PanelOptions& options)
    : ch_(ch),
      panelScale_(layout.panelScale),
      rows_(layout.rows),
      options_(options),
      meterStereo_(options.stereo) {
  // Every text of the panel gets this family explicitly: Qt would resolve
  // an empty one through fontconfig, to a face that depends on what else
  // is installed.
  if (options_.fontFamily.isEmpty()) options_.fontFamily = UiFace();
  buttons_ = new RecordButtons(ch, container);
  PlaceInTwips(buttons_, rects.buttons);
  buttons_->setVisible(options.showRecButton);

  levels_ = new LevelFigures(container);
  PlaceInTwips(levels_, rects.levelBox);
  levels_->SetFontFamily(options_.fontFamily);
  levels_->setVisible(options.showLevelValues);

  name_ = new NameLabel(container);
  PlaceInTwips(name_, rects.name);
  name_->SetNameFont(options_.fontFamily, kNamePoints);
  name_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  name_->setVisible(options.showChName);
  namePalette_ = name_->palette();
  nameGeometry_ = name_->geometry();
  box_ = TwipRect{rects.meter.left, rects.buttons.top, rects.meter.width,
                  rects.scale.Bottom() - rects.buttons.top};

  meter_ = new ImageView(container);
  PlaceInTwips(meter_, rects.meter);
  meter_->SetBackground(QColor(0x20, 0x20, 0x20));
  meterBackground_ = QImage(meter_->size(), QImage::Format_RGB32);
  meterBackground_.fill(meter_->Background());
  meter_->show();

  waveFrame_ = BlackFrame(container, rects.waveFrame);
  wave_ = InnerView(waveFrame_);
  wave_->SetBackground(Qt::black);
  fftFrame_ = BlackFrame(container, rects.fftFrame);
  fft_ = InnerView(fftFrame_);
  fft_->SetBackground(Qt::black);

  marker_ = new MarkerWidget(fft_);
  marker_->resize(kMarkerPixels, kMarkerPixels);
  freq_ = new QLabel(fft_);
  QFont readout(options_.fontFamily);
  readout.setPointSizeF(kDefaultFontPoints);
  freq_->setFont(readout);
  QPalette pal = freq_->palette();
  pal.setColor(QPalette::WindowText, QColor(0xC0, 0xC0, 0xC0));
  freq_->setPalette(pal);
  freq_->setGeometry(fft_->width() - 70, 2, 66, 16);
  freq_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  freq_->hide();

  scale_ = new ImageView(container);
  PlaceInTwips(scale_, rects.scale);
  scale_->SetBackground(container->palette().color(QPalette::Window));
  for (QWidget* w : {static_cast<QWidget*>(waveFrame_), static_cast<QWidget*>(fftFrame_),
                     static_cast<QWidget*>(scale_)})
    w->show();
  for (ImageView* view : {meter_, wave_, fft_, scale_}) view->SetPacer(options.pacer);
  levels_->SetPacer(options.pacer);

  vu_ = std::make_unique<C_VU>();
  spectrum_.SetMarker(kMarkerPixels);
  ConfigureMeter();
}

ChannelPanel::~ChannelPanel() {
  if (options_.pacer) options_.pacer->Cancel(this);
  if (vu_) vu_->ClosePictureBox();
}

void ChannelPanel::ShowFrequency(const QString& text) {
  freq_->setText(text);
  freq_->setVisible(!text.isEmpty());
}

void ChannelPanel::PlaceMarker(float percent) {
  const int h = fft_->height();
  const int centre = h - static_cast<int>(percent / 100.0f * static_cast<float>(h));
  marker_->move(0, centre - kMarkerPixels / 2);
  marker_->show();
}

}  // namespace varn

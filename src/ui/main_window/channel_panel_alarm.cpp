// A panel's alarm look: a frame round the panel in the margin the layout
// leaves between panels, the name's background in the frame's colour, the
// input's trouble over the waveform, the count of a latched frame and the
// badges. Nothing of it exists until a condition first shows, and hidden it
// leaves every pixel of the panel as it was.

#include <QLabel>
#include <QPalette>

#include "ui/main_window/channel_panel.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kEdgePixels = 4;     // the frame's width
constexpr int kEdgeGapPixels = 2;  // between the frame and the panel
constexpr int kBadgeMargin = 4;
constexpr float kInputTextPoints = 16.0f;
constexpr float kInputTextLeast = 8.0f;

struct FrameColours {
  QColor strong;
  QColor pale;
  QColor text;  // on the strong colour
};

FrameColours ColoursOf(AlarmColour colour) {
  switch (colour) {
    case AlarmColour::Red:
      return {QColor(0xE0, 0x20, 0x20), QColor(0xF0, 0xA8, 0xA8), Qt::white};
    case AlarmColour::Amber:
      return {QColor(0xF0, 0xA0, 0x00), QColor(0xF5, 0xD9, 0xA0), Qt::black};
    case AlarmColour::Grey:
      return {QColor(0x60, 0x60, 0x60), QColor(0xA8, 0xA8, 0xA8), Qt::white};
    case AlarmColour::None:
      break;
  }
  return {};
}

void Fill(QWidget* w, const QColor& back, const QColor& text) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, back);
  pal.setColor(QPalette::WindowText, text);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

QLabel* Badge(QWidget* parent, const QString& family, float points, bool bold) {
  auto* label = new QLabel(parent);
  QFont f(family);
  f.setPointSizeF(points);
  f.setBold(bold);
  label->setFont(f);
  label->setAlignment(Qt::AlignCenter);
  label->setMargin(2);
  // Clicks go through to the waveform, which acknowledges.
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->hide();
  return label;
}

// Shows `label` with `text` at its natural size, its top left at `at`.
void PlaceBadge(QLabel* label, const QString& text, QPoint at) {
  label->setText(text);
  label->adjustSize();
  label->move(at);
  label->show();
  label->raise();
}
}  // namespace

void ChannelPanel::BuildAlarmWidgets() {
  QWidget* container = meter_->parentWidget();
  const QRect box(TwipsToPixels(box_.left), TwipsToPixels(box_.top),
                  std::max(TwipsToPixels(box_.width), 1), std::max(TwipsToPixels(box_.height), 1));
  const int out = kEdgeGapPixels + kEdgePixels;
  const QRect outer = box.adjusted(-out, -out, out, out);
  const QRect edges[4] = {
      QRect(outer.left(), outer.top(), outer.width(), kEdgePixels),
      QRect(outer.left(), outer.bottom() - kEdgePixels + 1, outer.width(), kEdgePixels),
      QRect(outer.left(), outer.top(), kEdgePixels, outer.height()),
      QRect(outer.right() - kEdgePixels + 1, outer.top(), kEdgePixels, outer.height())};
  for (size_t i = 0; i < frameEdges_.size(); ++i) {
    auto* edge = new QWidget(container);
    edge->setGeometry(edges[i]);
    edge->setAutoFillBackground(true);
    edge->hide();
    frameEdges_[i] = edge;
  }
  const QString& family = options_.fontFamily;
  inputText_ = Badge(waveFrame_, family, kInputTextPoints, true);
  count_ = Badge(waveFrame_, family, 12.0f, true);
  writeBadge_ = Badge(waveFrame_, family, 10.0f, true);
  Fill(writeBadge_, QColor(0xE0, 0x20, 0x20), Qt::white);
  defaultBadge_ = Badge(waveFrame_, family, 9.0f, false);
  Fill(defaultBadge_, QColor(0x30, 0x50, 0x90), Qt::white);
}

void ChannelPanel::ShowAlarm(const AlarmLook& look) {
  if (look == shownAlarm_) return;
  shownAlarm_ = look;
  if (!frameEdges_[0]) {
    if (look == AlarmLook{}) return;
    BuildAlarmWidgets();
  }
  const FrameColours colours = ColoursOf(look.frame);
  const QColor back = look.latched ? colours.pale : colours.strong;
  const QColor text = look.latched ? QColor(Qt::black) : colours.text;
  for (QWidget* edge : frameEdges_) {
    if (look.frame == AlarmColour::None) {
      edge->hide();
      continue;
    }
    Fill(edge, back, text);
    edge->show();
  }
  if (look.frame == AlarmColour::None) {
    name_->setAutoFillBackground(false);
    name_->setPalette(namePalette_);
  } else {
    Fill(name_, back, text);
  }

  const int inner = 3 + kBadgeMargin;  // the view's inset in its frame, and air
  if (look.inputText.empty()) {
    inputText_->hide();
  } else {
    Fill(inputText_, colours.strong.isValid() ? colours.strong : QColor(0x60, 0x60, 0x60),
         Qt::white);
    inputText_->setText(
        QString::fromUtf8(look.inputText.data(), static_cast<int>(look.inputText.size())));
    // As large as the waveform leaves room for, down to the meter's figures.
    QFont f = inputText_->font();
    for (float points = kInputTextPoints; points >= kInputTextLeast; points -= 1.0f) {
      f.setPointSizeF(points);
      inputText_->setFont(f);
      if (inputText_->sizeHint().width() <= waveFrame_->width() - 2 * inner) break;
    }
    inputText_->adjustSize();
    inputText_->move((waveFrame_->width() - inputText_->width()) / 2,
                     (waveFrame_->height() - inputText_->height()) / 2);
    inputText_->show();
    inputText_->raise();
  }
  if (look.latched && look.count > 0) {
    Fill(count_, colours.pale, Qt::black);
    count_->setText(QStringLiteral("×%1").arg(look.count));
    count_->adjustSize();
    count_->move(waveFrame_->width() - count_->width() - inner, inner);
    count_->show();
    count_->raise();
  } else {
    count_->hide();
  }
  // The badges run from the left, as far as the count (on the first row)
  // or the frame's edge leaves room, then on a row below.
  const int edge = waveFrame_->width() - inner;
  int limit = (count_->isHidden() ? edge : count_->x() - kBadgeMargin);
  QPoint at(inner, inner);
  const auto place = [&](QLabel* badge, bool shown, std::string_view text) {
    if (!shown) {
      badge->hide();
      return;
    }
    PlaceBadge(badge, QString::fromUtf8(text.data(), static_cast<int>(text.size())), at);
    if (at.x() + badge->width() > limit && (at.x() > inner || limit < edge)) {
      at = QPoint(inner, at.y() +
                             std::max(badge->height(), count_->isHidden() ? 0 : count_->height()) +
                             kBadgeMargin);
      badge->move(at);
      limit = edge;
    }
    at.rx() += badge->width() + kBadgeMargin;
  };
  place(writeBadge_, look.writeFailBadge, kWriteFailBadge);
  place(defaultBadge_, look.defaultDeviceBadge, kDefaultDeviceBadge);
}

}  // namespace varn

// A panel's alarm look: a frame round the panel in the margin the layout
// leaves between panels, the name's background in the frame's colour, the
// input's trouble over the waveform, the count of a latched frame and the
// badges. Nothing of it exists until a condition first shows, and hidden it
// leaves every pixel of the panel as it was.

#include <QLabel>
#include <QPalette>
#include <vector>

#include "ui/main_window/channel_panel.h"
#include "ui/twips.h"

namespace varn {

namespace {
constexpr int kEdgePixels = 4;     // the frame's width
constexpr int kEdgeGapPixels = 2;  // between the frame and the panel
constexpr int kBadgeMargin = 4;
constexpr int kViewInset = 3;         // a view's inset in its frame
constexpr int kLeastNamePixels = 48;  // the name's least room beside the badges
constexpr float kInputTextPoints = 16.0f;
constexpr float kInputTextLeast = 8.0f;

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
  count_ = Badge(container, family, 12.0f, true);
  writeBadge_ = Badge(container, family, 10.0f, true);
  Fill(writeBadge_, QColor(0xE0, 0x20, 0x20), Qt::white);
  defaultBadge_ = Badge(container, family, 9.0f, false);
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

  const int inner = kViewInset + kBadgeMargin;
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
  PlaceMarks(look, colours);
}

// The badges and the count sit at the right of the name's row, the name
// giving up the room they take; where the row is too narrow for them and a
// readable piece of the name, they go over the waveform's top instead.
void ChannelPanel::PlaceMarks(const AlarmLook& look, const FrameColours& colours) {
  std::vector<QLabel*> marks;
  const auto prepare = [&marks](QLabel* label, bool shown, const QString& text) {
    if (!shown) {
      label->hide();
      return;
    }
    label->setText(text);
    label->adjustSize();
    marks.push_back(label);
  };
  const auto text = [](std::string_view t) {
    return QString::fromUtf8(t.data(), static_cast<int>(t.size()));
  };
  prepare(writeBadge_, look.writeFailBadge, text(kWriteFailBadge));
  prepare(defaultBadge_, look.defaultDeviceBadge, text(kDefaultDeviceBadge));
  if (look.latched && look.count > 0) Fill(count_, colours.pale, Qt::black);
  prepare(count_, look.latched && look.count > 0, QStringLiteral("×%1").arg(look.count));

  int total = 0;
  for (QLabel* mark : marks) total += mark->width() + kBadgeMargin;
  const QRect row = nameGeometry_;
  const bool inRow = total == 0 || total + kLeastNamePixels <= row.width();
  const QRect nameNow = inRow ? row.adjusted(0, 0, -total, 0) : row;
  if (name_->geometry() != nameNow) {
    name_->setGeometry(nameNow);
    name_->ShowName(name_->FullName());
  }
  if (inRow) {
    int right = row.right() + 1;
    for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
      QLabel* mark = *it;
      right -= mark->width();
      mark->move(right, row.top() + (row.height() - mark->height()) / 2);
      right -= kBadgeMargin;
    }
  } else {
    // Over the waveform: the count in its right corner, the badges from the
    // left as far as the count leaves room, then on a row below.
    const QRect wave = waveFrame_->geometry().adjusted(
        kViewInset + kBadgeMargin, kViewInset + kBadgeMargin, -kViewInset - kBadgeMargin, 0);
    const bool counted = look.latched && look.count > 0;
    int limit = wave.right() + 1;
    if (counted) {
      count_->move(wave.right() + 1 - count_->width(), wave.top());
      limit = count_->x() - kBadgeMargin;
    }
    QPoint at = wave.topLeft();
    for (QLabel* mark : marks) {
      if (mark == count_) continue;
      if (at.x() + mark->width() > limit && (at.x() > wave.left() || limit <= wave.right())) {
        at = QPoint(wave.left(), at.y() + std::max(mark->height(), counted ? count_->height() : 0) +
                                     kBadgeMargin);
        limit = wave.right() + 1;
      }
      mark->move(at);
      at.rx() += mark->width() + kBadgeMargin;
    }
  }
  for (QLabel* mark : marks) {
    mark->show();
    mark->raise();
  }
}

}  // namespace varn

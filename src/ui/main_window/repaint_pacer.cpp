#include "ui/main_window/repaint_pacer.h"

#include <algorithm>
#include <cstdlib>

namespace varn {

RepaintPacer::RepaintPacer(int frameMs) : frameMs_(std::max(frameMs, 1)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (held_)
      due_ = true;
    else
      Frame();
  });
}

RepaintPacer::Marked& RepaintPacer::Entry(QWidget* widget) {
  auto it = std::find_if(marked_.begin(), marked_.end(),
                         [widget](const Marked& m) { return m.widget == widget; });
  if (it != marked_.end()) return *it;
  marked_.push_back({widget, QRegion(), 0});
  Arm();
  return marked_.back();
}

bool RepaintPacer::FrameDue() const {
  return !sinceFrame_.isValid() || sinceFrame_.elapsed() >= frameMs_;
}

void RepaintPacer::Arm() {
  if (timer_.isActive()) return;
  const qint64 left = sinceFrame_.isValid() ? frameMs_ - sinceFrame_.elapsed() : 0;
  // Marked inside a tick: a later tick's end shows the frame without a wake-up
  // of its own; the timer is there for when no tick comes.
  const qint64 wait = std::clamp<qint64>(left, 0, frameMs_) + (held_ ? frameMs_ : 0);
  timer_.start(static_cast<int>(wait));
}

void RepaintPacer::Mark(QWidget* widget, const QRegion& area) {
  if (!widget || area.isEmpty()) return;
  Entry(widget).area += area;
}

void RepaintPacer::MarkScrolled(QWidget* widget, int dx) {
  if (!widget || dx == 0) return;
  Entry(widget).dx += dx;
}

void RepaintPacer::Defer(const void* owner, std::function<void()> work) {
  if (!owner || !work) return;
  auto it = std::find_if(deferred_.begin(), deferred_.end(),
                         [owner](const Deferred& d) { return d.owner == owner; });
  if (it != deferred_.end()) {
    it->work = std::move(work);
    return;
  }
  deferred_.push_back({owner, std::move(work)});
  Arm();
}

void RepaintPacer::Cancel(const void* owner) {
  std::erase_if(deferred_, [owner](const Deferred& d) { return d.owner == owner; });
  for (Deferred& d : running_)
    if (d.owner == owner) d.work = nullptr;
}

void RepaintPacer::Hold() { held_ = true; }

void RepaintPacer::Release() {
  held_ = false;
  const bool due = due_ || FrameDue();
  due_ = false;
  if (due && Pending()) Frame();
}

void RepaintPacer::Frame() {
  if (!Pending()) return;
  timer_.stop();
  // The work may defer more (for the next frame) or cancel some of this
  // frame's, so it runs from a list of its own.
  running_.swap(deferred_);
  for (size_t i = 0; i < running_.size(); ++i)
    if (running_[i].work) running_[i].work();
  running_.clear();
  for (const Marked& m : marked_) {
    QWidget* w = m.widget;
    if (!w) continue;
    // Marks made before a scroll no longer sit where they were made; a
    // scroll of the whole width leaves nothing to keep.
    if (m.dx != 0 && (!m.area.isEmpty() || std::abs(m.dx) >= w->width()))
      w->update();
    else if (m.dx != 0)
      w->scroll(m.dx, 0);
    else
      w->update(m.area);
  }
  marked_.clear();
  ++framesShown_;
  sinceFrame_.start();
  // The work's own marks armed the timer; they are shown already.
  timer_.stop();
  if (Pending()) Arm();
}

}  // namespace varn

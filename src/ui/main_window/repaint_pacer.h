#pragma once
// The window's repaints at the display's pace: views keep their images
// current as blocks arrive and only mark what changed; one timer per window
// turns the marks into repaints at most once per display frame. It runs
// only while something is marked. Frames wait while the update tick runs,
// so painting never lengthens a tick; the tick's end shows a frame that is
// due, so while ticks run, frames ride on their wake-ups.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace varn {

// One frame of a 60 Hz display, rounded up so frames never come faster.
inline constexpr int kDisplayFrameMs = 17;

class RepaintPacer {
 public:
  explicit RepaintPacer(int frameMs = kDisplayFrameMs);

  // `area` of `widget` changed; it is repainted with the next frame.
  void Mark(QWidget* widget, const QRegion& area);
  void MarkAll(QWidget* widget) { Mark(widget, widget->rect()); }
  // `widget`'s picture moved `dx` pixels sideways: the next frame scrolls
  // what the screen shows and repaints only the columns that came in.
  void MarkScrolled(QWidget* widget, int dx);

  // `work` runs at the start of the next frame, before its repaints; it may
  // mark what it draws. One piece of work per owner: a newer one replaces
  // what the owner left waiting. An owner that goes away cancels its own.
  void Defer(const void* owner, std::function<void()> work);
  void Cancel(const void* owner);

  // While held, a due frame waits; releasing shows it at once, as it does
  // a frame whose time has come.
  void Hold();
  void Release();

  // Asks for the repaint of everything marked now (the timer's work).
  void Frame();
  // Frames that asked for a repaint, for the tests.
  int FramesShown() const { return framesShown_; }
  bool Pending() const { return !marked_.empty() || !deferred_.empty(); }
  bool Running() const { return timer_.isActive(); }

 private:
  struct Marked {
    QPointer<QWidget> widget;
    QRegion area;
    int dx = 0;
  };
  Marked& Entry(QWidget* widget);
  // Starts the timer for what is left of the frame.
  void Arm();
  bool FrameDue() const;
  struct Deferred {
    const void* owner;
    std::function<void()> work;
  };
  std::vector<Marked> marked_;
  std::vector<Deferred> deferred_;
  std::vector<Deferred> running_;  // this frame's work, taken out of deferred_
  QTimer timer_;
  QElapsedTimer sinceFrame_;
  int frameMs_;
  bool held_ = false;
  bool due_ = false;
  int framesShown_ = 0;
};

}  // namespace varn

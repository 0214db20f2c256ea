#pragma once
// Catches mouse-wheel notches for windows that poll them from a timer (the
// log window scrolls its list this way): a registered window's wheel events
// are noted, then passed on unchanged.

class QWidget;

namespace varn {

// Registers the window and returns its slot. A free slot is reused before one
// is added; a window registered already keeps its slot.
int SubclassWindow(QWidget* window);
// Releases the window's slot (its wheel value is dropped). Unknown windows
// are ignored. A destroyed window releases its slot by itself.
void UnsubclassWindow(QWidget* window);
// The window's slot, or -1 (also for nullptr).
int FindSlot(QWidget* window);
// The last notch since the previous call: +1 towards the user, -1 away,
// 0 none or an unregistered window. Notches are not added up.
int TakeWheel(QWidget* window);

}  // namespace varn

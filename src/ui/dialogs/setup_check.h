#pragma once
// Preparing a dialog's check box in one call, as every settings dialog does.

#include <QString>

class QWidget;

namespace varn {

class UC_Check;

// Hands the check box a background gradient to reuse (when gradientHandle is
// non-zero), lets it take the window's background under itself, then sets
// its font size, size rate, caption and value, in that order.
void SetupCheck(UC_Check* check, const QString& caption, int value, QWidget* window, float fontSize,
                int gradientHandle = 0, float sizeRate = 1.0f);

}  // namespace varn

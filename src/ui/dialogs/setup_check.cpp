#include "ui/dialogs/setup_check.h"

#include "ui/controls/uc_check.h"
#include "ui/twips.h"
#include "util/error_catch.h"

namespace varn {

void SetupCheck(UC_Check* check, const QString& caption, int value, QWidget* window, float fontSize,
                int gradientHandle, float sizeRate) {
  if (!check) return;
  TrappedStep([&] {
    if (gradientHandle != 0) check->SetGradhdc(gradientHandle);
    check->SetBGPic(PixelsToTwips(check->x()), PixelsToTwips(check->y()), window);
    check->SetFontSize(fontSize);
    check->SetSizeRate(sizeRate);
    check->SetCaption(caption);
    check->SetValue(value != 0 ? 1 : 0);
  });
}

}  // namespace varn

#pragma once
// Everything a channel panel draws: the meter over its prepared background,
// the scrolling waveform, the spectrum with its grid and hold curve, and the
// frequency scale under it. One include for the window.

#include "ui/display/c_vu.h"
#include "ui/display/frequency_scale.h"
#include "ui/display/meter_drawing.h"
#include "ui/display/spectrum_view.h"
#include "ui/display/waveform_view.h"

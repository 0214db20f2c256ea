#include "analysis/loudness_figures.h"

#include "util/text.h"

namespace varn {

namespace {
std::string Figure(const std::optional<double>& value) {
  return value ? FormatFixed(*value, 1) : std::string(kMissingFigureText);
}
}  // namespace

std::string LoudnessMessage(const LoudnessFigures& figures) {
  std::string text(kLoudnessText);
  text.append("I ").append(Figure(figures.integratedLufs)).append("LUFS LRA ");
  text.append(Figure(figures.rangeLu)).append("LU TP ");
  text.append(Figure(figures.truePeakDbtp)).append("dBTP");
  return text;
}

}  // namespace varn

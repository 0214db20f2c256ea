#include "analysis/loudness_figures.h"

#include "util/text.h"

namespace varn {

namespace {
std::string Figure(const std::optional<double>& value) {
  return value ? FormatFixed(*value, 1) : std::string(kMissingFigureText);
}
}  // namespace

std::string LoudnessMessage(const LoudnessFigures& figures) {
  return std::string(kLoudnessText) + "I " + Figure(figures.integratedLufs) + "LUFS LRA " +
         Figure(figures.rangeLu) + "LU TP " + Figure(figures.truePeakDbtp) + "dBTP";
}

}  // namespace varn

#pragma once
// The figures of a loudness measurement and the event line that reports
// them. std::nullopt is a figure that does not exist yet (see
// loudness_meter.h).

#include <optional>
#include <string>
#include <string_view>

namespace varn {

struct LoudnessFigures {
  std::optional<double> integratedLufs;
  std::optional<double> rangeLu;
  std::optional<double> momentaryMaxLufs;
  std::optional<double> shortTermMaxLufs;
  std::optional<double> truePeakDbtp;
};

inline constexpr std::string_view kLoudnessText = "ラウドネス ";
inline constexpr std::string_view kMissingFigureText = "---";

// "ラウドネス I -23.1LUFS LRA 5.2LU TP -1.0dBTP", each figure "%.1f", or
// "---" in its place when it does not exist ("I ---LUFS").
std::string LoudnessMessage(const LoudnessFigures& figures);

}  // namespace varn

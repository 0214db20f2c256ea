#pragma once
// The analysis's own event texts and the number patterns of the meter
// figures. Numbers are formatted as C's printf formats them.

#include <string>
#include <string_view>

namespace varn {

inline constexpr std::string_view kLevelUpText = "レベルUP ";
inline constexpr std::string_view kLevelDownText = "レベルDOWN ";
inline constexpr std::string_view kPeakUnitText = "db(Peak)";
inline constexpr std::string_view kRmsUnitText = "db(RMS)";
inline constexpr std::string_view kClickText = "プチ音検出 ";
inline constexpr std::string_view kSpectrumChangeText = "FFT変化 ";
inline constexpr std::string_view kTimesText = "倍";
inline constexpr std::string_view kFigureUnitText = "db";

// Short texts (meter numbers, level figures) are written into a fixed buffer
// so drawing a block never allocates.
struct ShortText {
  char data[24] = {};
  int size = 0;
  std::string_view View() const { return {data, static_cast<size_t>(size)}; }
};

// "%.1f" with the whole part padded to two digits: "03.2", "-05.0", "-99.0".
ShortText MeterNumberText(double value);
// "%.1f" followed by "db": the level figures box ("-12.3db").
ShortText LevelFigureText(double value);

// "レベルUP -0.5db(Peak)" and "レベルDOWN -3.0db(Peak)".
std::string OverLevelMessage(bool up, double peakDb);
// "レベルDOWN -99.0db(RMS)" and "レベルUP -20.1db(RMS)".
std::string LowLevelMessage(bool up, double rmsDb);
// "プチ音検出 1.23倍": the step as a multiple of the threshold.
std::string ClickMessage(double multiple);
// "FFT変化 1.07倍".
std::string SpectrumChangeMessage(double multiple);

}  // namespace varn

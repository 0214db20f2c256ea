#include "analysis/analysis_texts.h"

#include <cstdio>
#include <cstring>

#include "util/text.h"

namespace varn {

namespace {
ShortText Printf1(double value, const char* suffix) {
  ShortText t;
  const int n = std::snprintf(t.data, sizeof t.data, "%.1f%s", value, suffix);
  t.size = (n < 0) ? 0 : (n >= static_cast<int>(sizeof t.data) ? sizeof t.data - 1 : n);
  return t;
}
}  // namespace

ShortText MeterNumberText(double value) {
  ShortText t = Printf1(value, "");
  // Pad the whole part to two digits, after the sign.
  const int signLength = (t.size > 0 && t.data[0] == '-') ? 1 : 0;
  const char* dot = static_cast<const char*>(std::memchr(t.data, '.', t.size));
  const int wholeDigits = dot ? static_cast<int>(dot - t.data) - signLength : t.size - signLength;
  if (wholeDigits == 1 && t.size + 1 < static_cast<int>(sizeof t.data)) {
    std::memmove(t.data + signLength + 1, t.data + signLength, t.size - signLength + 1);
    t.data[signLength] = '0';
    ++t.size;
  }
  return t;
}

ShortText LevelFigureText(double value) { return Printf1(value, kFigureUnitText.data()); }

std::string OverLevelMessage(bool up, double peakDb) {
  return std::string(up ? kLevelUpText : kLevelDownText) + FormatFixed(peakDb, 1) +
         std::string(kPeakUnitText);
}

std::string LowLevelMessage(bool up, double rmsDb) {
  return std::string(up ? kLevelUpText : kLevelDownText) + FormatFixed(rmsDb, 1) +
         std::string(kRmsUnitText);
}

std::string ClickMessage(double multiple) {
  return std::string(kClickText) + FormatFixed(multiple, 2) + std::string(kTimesText);
}

std::string SpectrumChangeMessage(double multiple) {
  return std::string(kSpectrumChangeText) + FormatFixed(multiple, 2) + std::string(kTimesText);
}

}  // namespace varn

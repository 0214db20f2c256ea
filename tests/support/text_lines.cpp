#include "support/text_lines.h"

#include <limits>
#include <sstream>

namespace varn::test {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int CountLines(const std::string& text, const std::string& needle) {
  int n = 0;
  for (const auto& line : Lines(text)) n += line.find(needle) != std::string::npos;
  return n;
}

double SeriesValue(const std::string& page, const std::string& series) {
  for (const std::string& line : Lines(page))
    if (line.size() > series.size() && line.compare(0, series.size(), series) == 0 &&
        line[series.size()] == ' ')
      return std::stod(line.substr(series.size() + 1));
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace varn::test

#include "support/text_lines.h"

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

}  // namespace varn::test

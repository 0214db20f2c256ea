#include "engine/engine_fixture.h"

#include <sstream>

namespace varn::test {

std::vector<std::string> EngineFixture::EventTexts() const {
  std::vector<std::string> texts;
  std::istringstream in(Events());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "local date time utc-date utc-time text..."
    size_t pos = 0;
    for (int field = 0; field < 4 && pos != std::string::npos; ++field)
      pos = line.find(' ', pos + 1);
    texts.push_back(pos == std::string::npos ? line : line.substr(pos + 1));
  }
  return texts;
}

int EngineFixture::CountEvents(const std::string& text) const {
  int n = 0;
  for (const std::string& t : EventTexts()) n += t.find(text) != std::string::npos;
  return n;
}

}  // namespace varn::test

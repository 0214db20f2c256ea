#include "engine/hooks/hook_command.h"

namespace varn {

std::vector<std::string> SplitHookCommand(std::string_view command) {
  std::vector<std::string> words;
  size_t i = 0;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < command.size()) {
    while (i < command.size() && blank(command[i])) ++i;
    if (i >= command.size()) break;
    if (command[i] == '"') {
      const size_t close = command.find('"', i + 1);
      const size_t end = close == std::string_view::npos ? command.size() : close;
      words.emplace_back(command.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? command.size() : close + 1;
      continue;
    }
    const size_t start = i;
    while (i < command.size() && !blank(command[i])) ++i;
    words.emplace_back(command.substr(start, i - start));
  }
  return words;
}

std::string ExpandHookWord(std::string_view word, const std::map<std::string, std::string>& vars) {
  std::string out;
  size_t i = 0;
  while (i < word.size()) {
    const size_t ref = word.find("${VARN_", i);
    if (ref == std::string_view::npos) break;
    const size_t close = word.find('}', ref);
    if (close == std::string_view::npos) break;
    out.append(word.substr(i, ref - i));
    const std::string name(word.substr(ref + 2, close - ref - 2));
    if (const auto it = vars.find(name); it != vars.end()) out += it->second;
    i = close + 1;
  }
  out.append(word.substr(i));
  return out;
}

}  // namespace varn

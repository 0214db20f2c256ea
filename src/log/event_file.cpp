#include "log/event_file.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <fstream>

#include "log/event_kinds.h"
#include "settings/folders.h"

namespace varn {

namespace {

constexpr std::string_view kFilePrefix = kAppTitle;

bool Digits(std::string_view t) {
  return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYY/MM/DD HH:MM:SS" at the start of `t`.
bool DateTimeAt(std::string_view t) {
  if (t.size() < 19) return false;
  return Digits(t.substr(0, 4)) && t[4] == '/' && Digits(t.substr(5, 2)) && t[7] == '/' &&
         Digits(t.substr(8, 2)) && t[10] == ' ' && Digits(t.substr(11, 2)) && t[13] == ':' &&
         Digits(t.substr(14, 2)) && t[16] == ':' && Digits(t.substr(17, 2));
}

bool ValidDate(int y, int m, int d) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return y >= 1970 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 &&
         d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

}  // namespace

std::optional<EventFileLine> ParseEventFileLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (!DateTimeAt(line) || (line.size() > 19 && line[19] != ' ')) return std::nullopt;
  EventFileLine out;
  out.localTime = std::string(line.substr(0, 19));
  std::string_view rest = line.size() > 20 ? line.substr(20) : std::string_view();
  // An event line carries the UTC time, then its channel and side.
  if (DateTimeAt(rest) && (rest.size() == 19 || rest[19] == ' ')) {
    out.utcTime = std::string(rest.substr(0, 19));
    rest = rest.size() > 20 ? rest.substr(20) : std::string_view();
    if (rest.size() >= 4 && rest.substr(0, 2) == "ch" && rest[2] >= '1' && rest[2] <= '8' &&
        rest[3] == ' ') {
      out.channel = rest[2] - '1';
      rest.remove_prefix(4);
      if (rest.size() >= 4 && (rest.substr(0, 4) == "Lch " || rest.substr(0, 4) == "Rch ")) {
        out.side = rest[0] == 'L' ? 0 : 1;
        rest.remove_prefix(4);
      }
    }
  }
  out.message = std::string(rest);
  out.kind = std::string(EventKind(rest));
  // A plain line names its channel at its end ("エンコーダ初期化失敗 ch3").
  if (out.channel < 0 && rest.size() >= 4 && rest.substr(rest.size() - 4, 3) == " ch" &&
      rest.back() >= '1' && rest.back() <= '8')
    out.channel = rest.back() - '1';
  return out;
}

std::vector<EventFileLine> ReadEventFile(const std::string& path, size_t maxBytes) {
  std::vector<EventFileLine> out;
  std::ifstream in(path, std::ios::binary);
  if (!in) return out;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  const bool cut = size > static_cast<std::streamoff>(maxBytes);
  in.seekg(cut ? size - static_cast<std::streamoff>(maxBytes) : 0);
  std::string line;
  if (cut) std::getline(in, line);  // the partial first line
  while (std::getline(in, line))
    if (auto parsed = ParseEventFileLine(line)) out.push_back(std::move(*parsed));
  return out;
}

std::vector<std::string> EventFileDays(const std::string& folder, const std::string& extension) {
  std::vector<std::string> days;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return days;
  while (const dirent* e = readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name.size() != kFilePrefix.size() + 8 + extension.size() ||
        !name.starts_with(kFilePrefix) || !name.ends_with(extension))
      continue;
    const std::string day = EventDay(name.substr(kFilePrefix.size(), 8));
    if (!day.empty()) days.push_back(day);
  }
  closedir(dir);
  std::sort(days.begin(), days.end());
  return days;
}

std::string EventDay(std::string_view text) {
  std::string digits;
  if (text.size() == 8 && Digits(text)) {
    digits = std::string(text);
  } else if (text.size() == 10 && text[4] == '-' && text[7] == '-' && Digits(text.substr(0, 4)) &&
             Digits(text.substr(5, 2)) && Digits(text.substr(8, 2))) {
    digits = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) +
             std::string(text.substr(8, 2));
  } else {
    return {};
  }
  if (!ValidDate(std::stoi(digits.substr(0, 4)), std::stoi(digits.substr(4, 2)),
                 std::stoi(digits.substr(6, 2))))
    return {};
  return digits;
}

}  // namespace varn

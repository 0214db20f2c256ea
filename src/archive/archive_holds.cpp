#include "archive/archive_holds.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "settings/folders.h"
#include "util/text_file.h"

namespace varn {

namespace {

constexpr size_t kHoldsFileLimit = 4u << 20;
constexpr int kChannels = 8;

template <class T>
bool ParseWhole(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, out);
  return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::string OneLine(std::string_view text) {
  std::string s(text);
  std::replace_if(
      s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return s;
}

}  // namespace

std::string HoldsFilePath(std::string_view dataFolder) {
  return NormaliseFolder(dataFolder, false) + std::string(kHoldsFileName);
}

HoldsFile ParseHolds(std::string_view text, std::string_view name) {
  HoldsFile file;
  auto broken = [&](size_t lineNo, const std::string& why) {
    file.ok = false;
    file.error = std::string(name) + " line " + std::to_string(lineNo) + ": " + why;
    file.holds.clear();
    return file;
  };
  size_t start = 0;
  size_t lineNo = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNo == 1) {
      if (line != kHoldsFileHeader)
        return broken(lineNo, "not a holds file (the first line must be \"" +
                                  std::string(kHoldsFileHeader) + "\")");
      continue;
    }
    if (line.empty()) continue;
    const std::vector<std::string_view> f = SplitTabs(line);
    ArchiveHold h;
    int channel = 0;
    if (f.size() != 6) return broken(lineNo, "a hold has 6 fields separated by tabs");
    if (!ParseWhole(f[0], h.id) || h.id == 0) return broken(lineNo, "bad ID");
    if (!ParseWhole(f[1], channel) || channel < 1 || channel > kChannels)
      return broken(lineNo, "bad channel");
    if (!ParseWhole(f[2], h.from) || !ParseWhole(f[3], h.to) || h.to <= h.from)
      return broken(lineNo, "bad time range");
    if (!ParseWhole(f[4], h.made)) return broken(lineNo, "bad time made");
    if (std::any_of(file.holds.begin(), file.holds.end(),
                    [&](const ArchiveHold& o) { return o.id == h.id; }))
      return broken(lineNo, "ID " + std::to_string(h.id) + " twice");
    h.channel = channel - 1;
    h.reason = OneLine(f[5]);  // as FormatHolds writes it
    file.holds.push_back(std::move(h));
  }
  if (lineNo == 0) return broken(1, "empty file");
  return file;
}

HoldsFile ReadHoldsFile(const std::string& path) {
  const std::optional<std::string> text = ReadWholeFile(path, kHoldsFileLimit);
  if (!text) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 || errno != ENOENT) {
      HoldsFile file;
      file.ok = false;
      file.error = "cannot read " + path;
      return file;
    }
    return {};
  }
  return ParseHolds(*text, path);
}

std::string FormatHolds(const std::vector<ArchiveHold>& holds) {
  std::string text(kHoldsFileHeader);
  text += '\n';
  for (const ArchiveHold& h : holds) {
    for (const int64_t field :
         {static_cast<int64_t>(h.id), static_cast<int64_t>(h.channel + 1), h.from, h.to, h.made}) {
      text += std::to_string(field);
      text += '\t';
    }
    text += OneLine(h.reason);
    text += '\n';
  }
  return text;
}

std::string WriteHoldsFile(const std::string& path, const std::vector<ArchiveHold>& holds) {
  errno = 0;
  if (ReplaceFileContents(path, FormatHolds(holds))) return {};
  return "cannot write " + path + (errno ? std::string(": ") + std::strerror(errno) : "");
}

uint32_t NextHoldId(const std::vector<ArchiveHold>& holds) {
  uint32_t id = 0;
  for (const ArchiveHold& h : holds) id = std::max(id, h.id);
  return id + 1;
}

bool Held(const std::vector<ArchiveHold>& holds, int ch, double start, double end) {
  return std::any_of(holds.begin(), holds.end(), [&](const ArchiveHold& h) {
    return h.channel == ch && static_cast<double>(h.from)<end&& static_cast<double>(h.to)> start;
  });
}

}  // namespace varn

#include "settings/ini_document.h"

#include "util/text.h"

namespace varn {

namespace {

std::optional<std::string> SectionName(std::string_view line) {
  const std::string t = TrimBlanks(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return TrimBlanks(std::string_view(t).substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt for any other line.
std::optional<std::string> KeyOf(std::string_view line) {
  const std::string t = TrimBlanks(line);
  if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return std::nullopt;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return TrimBlanks(std::string_view(t).substr(0, eq));
}

std::string ValueOf(std::string_view line) {
  const size_t eq = line.find('=');
  std::string v = TrimBlanks(line.substr(eq + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return v;
}

// A value must stay on its line.
std::string OneLine(std::string_view value) {
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  return v;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  // Every leading UTF-8 byte order mark: Text() writes none back, so one left
  // here would be taken off by the next read and change what the file says.
  while (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    const bool last = nl == std::string_view::npos;
    if (last) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      if (first) doc.newline_ = "\r\n";
    }
    first = false;
    doc.lines_.emplace_back(line);
    pos = last ? nl : nl + 1;
  }
  return doc;
}

std::optional<std::pair<size_t, size_t>> IniDocument::SectionBody(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i]);
    if (!name || !EqualsIgnoreCase(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end])) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(std::string_view section, std::string_view key) const {
  const auto body = SectionBody(section);
  if (!body) return std::nullopt;
  for (size_t i = body->first; i < body->second; ++i) {
    const auto k = KeyOf(lines_[i]);
    if (k && EqualsIgnoreCase(*k, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto i = FindKey(section, key);
  if (!i) return std::nullopt;
  return ValueOf(lines_[*i]);
}

bool IniDocument::IsUsableKey(std::string_view key) {
  if (key.empty() || TrimBlanks(key) != key) return false;
  if (key.front() == ';' || key.front() == '#' || key.front() == '[') return false;
  return key.find_first_of("=\r\n") == std::string_view::npos;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsUsableKey(key)) return false;
  const std::string line = std::string(key) + "=" + OneLine(value);
  if (const auto i = FindKey(section, key)) {
    lines_[*i] = line;
    return true;
  }
  if (const auto body = SectionBody(section)) {
    // After the section's last non-blank line, so blank separators stay put.
    size_t at = body->second;
    while (at > body->first && TrimBlanks(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
    return true;
  }
  if (!lines_.empty() && !TrimBlanks(lines_.back()).empty()) lines_.emplace_back();
  lines_.push_back("[" + std::string(section) + "]");
  lines_.push_back(line);
  return true;
}

bool IniDocument::Remove(std::string_view section, std::string_view key) {
  const auto i = FindKey(section, key);
  if (!i) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*i));
  return true;
}

std::vector<IniDocument::BodyLine> IniDocument::SectionLines(std::string_view section) const {
  std::vector<BodyLine> out;
  const auto body = SectionBody(section);
  if (!body) return out;
  for (size_t i = body->first; i < body->second; ++i) {
    const std::string t = TrimBlanks(lines_[i]);
    if (t.empty() || t.front() == ';' || t.front() == '#') continue;
    BodyLine line;
    line.number = i + 1;
    line.text = lines_[i];
    if (auto key = KeyOf(lines_[i]); key && !key->empty()) {
      line.key = std::move(key);
      line.value = ValueOf(lines_[i]);
    }
    out.push_back(std::move(line));
  }
  return out;
}

std::string IniDocument::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += newline_;
  }
  return out;
}

}  // namespace varn

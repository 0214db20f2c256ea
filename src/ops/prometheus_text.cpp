#include "ops/prometheus_text.h"

#include <charconv>
#include <cmath>

namespace varn {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none
// (stray continuation bytes, overlong forms, surrogates, beyond U+10FFFF).
size_t Utf8Length(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
  for (size_t k = 2; k < n; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return n;
}

// Backslash and newline always; the double quote inside label values.
void AppendEscaped(std::string& out, std::string_view text, bool quote) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    const char c = text[i];
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '"' && quote)
      out += "\\\"";
    else
      out.append(text.substr(i, n));
    i += n;
  }
}

void AppendLabels(std::string& out, const std::vector<MetricLabel>& labels,
                  std::string_view le = {}) {
  if (labels.empty() && le.empty()) return;
  out += '{';
  bool first = true;
  for (const MetricLabel& l : labels) {
    if (!first) out += ',';
    first = false;
    out += l.name;
    out += "=\"";
    AppendEscaped(out, l.value, true);
    out += '"';
  }
  if (!le.empty()) {
    if (!first) out += ',';
    out += "le=\"";
    out += le;
    out += '"';
  }
  out += '}';
}

void AppendLine(std::string& out, std::string_view name, std::string_view suffix,
                const std::vector<MetricLabel>& labels, double value, std::string_view le = {}) {
  out += name;
  out += suffix;
  AppendLabels(out, labels, le);
  out += ' ';
  out += FormatSampleValue(value);
  out += '\n';
}

std::string_view TypeName(MetricType type) {
  switch (type) {
    case MetricType::Counter:
      return "counter";
    case MetricType::Gauge:
      return "gauge";
    case MetricType::Histogram:
      return "histogram";
  }
  return "untyped";
}

}  // namespace

std::string FormatSampleValue(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string FormatPrometheusText(const MetricSet& metrics) {
  std::string out;
  for (const MetricFamily& f : metrics.families) {
    out += "# HELP ";
    out += f.name;
    out += ' ';
    AppendEscaped(out, f.help, false);
    out += "\n# TYPE ";
    out += f.name;
    out += ' ';
    out += TypeName(f.type);
    out += '\n';
    for (const MetricSample& s : f.samples) {
      if (f.type != MetricType::Histogram) {
        AppendLine(out, f.name, "", s.labels, s.value);
        continue;
      }
      const HistogramCounts& h = s.histogram;
      uint64_t cumulative = 0;
      for (size_t i = 0; i < h.bounds.size(); ++i) {
        cumulative += i < h.counts.size() ? h.counts[i] : 0;
        AppendLine(out, f.name, "_bucket", s.labels, static_cast<double>(cumulative),
                   FormatSampleValue(h.bounds[i]));
      }
      AppendLine(out, f.name, "_bucket", s.labels, static_cast<double>(h.count), "+Inf");
      AppendLine(out, f.name, "_sum", s.labels, h.sum);
      AppendLine(out, f.name, "_count", s.labels, static_cast<double>(h.count));
    }
  }
  return out;
}

}  // namespace varn

#pragma once
// What the metrics endpoint serves: families of samples, each family a name,
// a help line and a type, each sample its labels and value. The program's
// thread fills one once a second; the endpoint's thread formats it. Adding a
// family is adding it here, in the order it should be served.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace varn {

enum class MetricType { Counter, Gauge, Histogram };

struct MetricLabel {
  std::string name;
  std::string value;
};

// Observations counted into buckets by their upper bounds, plus the ones
// above the last (the +Inf bucket). Counts here are per bucket; the text
// format adds them up.
struct HistogramCounts {
  std::vector<double> bounds;    // ascending upper bounds
  std::vector<uint64_t> counts;  // bounds.size() + 1
  double sum = 0.0;
  uint64_t count = 0;

  explicit HistogramCounts(std::vector<double> upperBounds = {})
      : bounds(std::move(upperBounds)), counts(bounds.size() + 1, 0) {}
  void Observe(double value) {
    size_t i = 0;
    while (i < bounds.size() && value > bounds[i]) ++i;
    ++counts[i];
    sum += value;
    ++count;
  }
};

struct MetricSample {
  std::vector<MetricLabel> labels;
  double value = 0.0;         // counters and gauges
  HistogramCounts histogram;  // histograms
};

struct MetricFamily {
  std::string name;  // counters end in _total
  std::string help;
  MetricType type = MetricType::Gauge;
  std::vector<MetricSample> samples;

  MetricFamily& Add(std::vector<MetricLabel> labels, double value) {
    samples.push_back(MetricSample{std::move(labels), value, HistogramCounts{}});
    return *this;
  }
  MetricFamily& Add(std::vector<MetricLabel> labels, HistogramCounts histogram) {
    samples.push_back(MetricSample{std::move(labels), 0.0, std::move(histogram)});
    return *this;
  }
};

struct MetricSet {
  std::vector<MetricFamily> families;

  MetricFamily& Family(std::string_view name, std::string_view help, MetricType type) {
    families.push_back(MetricFamily{std::string(name), std::string(help), type, {}});
    return families.back();
  }
  void Clear() { families.clear(); }
};

}  // namespace varn

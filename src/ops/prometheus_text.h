#pragma once
// Prometheus's text exposition format (version 0.0.4): what a scrape of the
// metrics endpoint reads.

#include <string>
#include <string_view>

#include "ops/metric_set.h"

namespace varn {

inline constexpr std::string_view kPrometheusContentType =
    "text/plain; version=0.0.4; charset=utf-8";

// Every family with its HELP and TYPE lines, then its samples; a histogram
// as its cumulative _bucket lines (le="+Inf" last), _sum and _count. Label
// values and help texts are escaped, and bytes that are not UTF-8 (a
// hand-edited channel name) become U+FFFD, since one bad byte would make
// Prometheus refuse the whole scrape.
std::string FormatPrometheusText(const MetricSet& metrics);

// A sample value: the shortest text that reads back as the same double,
// "NaN", "+Inf" or "-Inf".
std::string FormatSampleValue(double value);

}  // namespace varn

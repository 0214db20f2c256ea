// The text a scrape reads: what Prometheus's parser and promtool accept.

#include "ops/prometheus_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace varn {
namespace {

TEST(PrometheusTextTest, FamiliesHaveHelpAndTypeAndHistogramsAddUpTheirBuckets) {
  MetricSet m;
  m.Family("x_total", "Things.", MetricType::Counter)
      .Add({{"channel", "1"}, {"side", ""}}, 3)
      .Add({{"channel", "2"}, {"side", "L"}}, 0);
  m.Family("y", "A gauge.", MetricType::Gauge).Add({}, -99.0);
  HistogramCounts h({0.25, 0.5, 1.0});
  for (double v : {0.125, 0.25, 0.375, 0.75, 2.0}) h.Observe(v);
  m.Family("z_seconds", "Durations.", MetricType::Histogram).Add({}, h);
  EXPECT_EQ(FormatPrometheusText(m),
            "# HELP x_total Things.\n"
            "# TYPE x_total counter\n"
            "x_total{channel=\"1\",side=\"\"} 3\n"
            "x_total{channel=\"2\",side=\"L\"} 0\n"
            "# HELP y A gauge.\n"
            "# TYPE y gauge\n"
            "y -99\n"
            "# HELP z_seconds Durations.\n"
            "# TYPE z_seconds histogram\n"
            "z_seconds_bucket{le=\"0.25\"} 2\n"  // a bound is inclusive
            "z_seconds_bucket{le=\"0.5\"} 3\n"
            "z_seconds_bucket{le=\"1\"} 4\n"
            "z_seconds_bucket{le=\"+Inf\"} 5\n"
            "z_seconds_sum 3.5\n"
            "z_seconds_count 5\n");
}

TEST(PrometheusTextTest, LabelValuesAndHelpAreEscapedAndBadUtf8IsReplaced) {
  MetricSet m;
  m.Family("n", "Back\\slash \"quoted\"\nnext", MetricType::Gauge)
      .Add({{"name", "a\\b \"c\"\nd"}}, 1)
      .Add({{"name", "系統名1"}}, 1)
      .Add({{"name", "x\xff\xc3(y\xe3\x81"}}, 1)    // stray byte, bad continuation, cut short
      .Add({{"name", "\xed\xa0\x80\xc0\xaf"}}, 1);  // a surrogate, an overlong "/"
  EXPECT_EQ(FormatPrometheusText(m),
            "# HELP n Back\\\\slash \"quoted\"\\nnext\n"
            "# TYPE n gauge\n"
            "n{name=\"a\\\\b \\\"c\\\"\\nd\"} 1\n"
            "n{name=\"系統名1\"} 1\n"
            "n{name=\"x\xEF\xBF\xBD\xEF\xBF\xBD(y\xEF\xBF\xBD\xEF\xBF\xBD\"} 1\n"
            "n{name=\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"} 1\n");
}

TEST(PrometheusTextTest, ValuesReadBackExactly) {
  EXPECT_EQ(FormatSampleValue(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(FormatSampleValue(std::numeric_limits<double>::infinity()), "+Inf");
  EXPECT_EQ(FormatSampleValue(-std::numeric_limits<double>::infinity()), "-Inf");
  EXPECT_EQ(FormatSampleValue(0.0), "0");
  EXPECT_EQ(FormatSampleValue(1234567890123.0), "1234567890123");
  for (double v : {0.1, -20.000000000000004, 1e-300, 3.0 / 7.0})
    EXPECT_EQ(std::stod(FormatSampleValue(v)), v) << FormatSampleValue(v);
}

}  // namespace
}  // namespace varn

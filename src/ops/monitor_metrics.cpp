#include "ops/monitor_metrics.h"

#include "engine/engine.h"

namespace varn {

void AddMonitorMetrics(MetricSet& metrics, const Engine& engine) {
  metrics
      .Family("varn_monitor_skips_total",
              "Times the monitor output fell more than the capture ring allows behind its "
              "channel and skipped ahead, since the program started.",
              MetricType::Counter)
      .Add({}, static_cast<double>(engine.Monitor().Skips));
}

}  // namespace varn

#pragma once
// How many event lines of each kind each channel and side has logged since
// the program started: varn_events_total. It hears every line on the
// program's thread as the log writes it.

#include <cstdint>
#include <map>
#include <string>
#include <tuple>

#include "log/event_log.h"
#include "ops/metric_set.h"

namespace varn {

class EventCounts final : public EventListener {
 public:
  void OnEvent(const EventRecord& event) override;

  // A zero for every kind of line `channels` channels can log (on each side
  // where the kind names one), so the first event of a kind already shows
  // as an increase to a rule over the counter.
  void Seed(int channels);

  // The counts as varn_events_total.
  void AddTo(MetricSet& metrics) const;

  uint64_t Count(int channel, int side, const std::string& kind) const;

 private:
  using Key = std::tuple<int, int, std::string>;  // channel, side, kind
  std::map<Key, uint64_t> counts_;
};

// The label values: channel "1".."8" and side "L" or "R"; "" for a line of
// no channel or side.
std::string ChannelLabel(int channel);
std::string SideLabel(int side);

}  // namespace varn

#include "ops/event_counts.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "log/event_kinds.h"

namespace varn {

namespace {

// Lines of the whole program, not of a channel.
constexpr std::array<std::string_view, 4> kProgramKinds = {"start", "end", "separator", "watchdog"};
// Lines the level and click detectors write for one side.
constexpr std::array<std::string_view, 5> kSidedKinds = {"over_level", "over_level_end",
                                                         "low_level", "low_level_end", "click"};

bool In(std::string_view kind, std::span<const std::string_view> kinds) {
  return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

}  // namespace

std::string ChannelLabel(int channel) { return channel < 0 ? "" : std::to_string(channel + 1); }

std::string SideLabel(int side) { return side < 0 ? "" : side == 0 ? "L" : "R"; }

void EventCounts::OnEvent(const EventRecord& event) {
  ++counts_[Key{event.channel, event.side, std::string(event.kind)}];
}

void EventCounts::Seed(int channels) {
  for (std::string_view kind : kEventKinds) {
    const std::string k(kind);
    if (In(kind, kProgramKinds)) {
      counts_.try_emplace(Key{-1, -1, k}, 0);
      continue;
    }
    for (int ch = 0; ch < channels; ++ch) {
      if (In(kind, kSidedKinds)) {
        counts_.try_emplace(Key{ch, 0, k}, 0);
        counts_.try_emplace(Key{ch, 1, k}, 0);
      } else {
        counts_.try_emplace(Key{ch, -1, k}, 0);
      }
    }
  }
}

void EventCounts::AddTo(MetricSet& metrics) const {
  MetricFamily& f =
      metrics.Family("varn_events_total",
                     "Event lines logged since the program started, by channel, side and kind "
                     "(\"\" for a line of no channel or side).",
                     MetricType::Counter);
  for (const auto& [key, count] : counts_) {
    const auto& [channel, side, kind] = key;
    f.Add({{"channel", ChannelLabel(channel)}, {"side", SideLabel(side)}, {"event", kind}},
          static_cast<double>(count));
  }
}

uint64_t EventCounts::Count(int channel, int side, const std::string& kind) const {
  const auto it = counts_.find(Key{channel, side, kind});
  return it == counts_.end() ? 0 : it->second;
}

}  // namespace varn

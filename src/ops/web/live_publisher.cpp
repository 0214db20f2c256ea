#include "ops/web/live_publisher.h"

#include "engine/engine.h"

namespace varn {

LivePublisher::LivePublisher(EventLog& log) : log_(log) { log_.AddListener(this); }

LivePublisher::~LivePublisher() { log_.RemoveListener(this); }

void LivePublisher::AfterTick(const Engine& engine) {
  const auto now = std::chrono::steady_clock::now();
  // A little early rather than a tick late, so ticks of 10 ms give 100 ms.
  if (now - last_ < std::chrono::duration<double>(kLivePublishSec * 0.95)) return;
  last_ = now;
  Publish(engine);
}

void LivePublisher::Publish(const Engine& engine) {
  LiveSnapshot& s = snapshots_.Back();
  s.sequence = ++sequence_;
  s.publishedUnixMs =
      std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  const std::string path = log_.CurrentFilePath(false);
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  s.logFolder.assign(path, 0, slash == std::string::npos ? 0 : slash + 1);
  s.logExtension = dot == std::string::npos || dot < slash ? "" : path.substr(dot);
  s.dataFolder = engine.Services().dataFolder;
  s.lines.resize(static_cast<size_t>(engine.ChannelCount()));
  for (int ch = 0; ch < engine.ChannelCount(); ++ch) {
    const ChannelRecord& c = engine.Channel(ch);
    LiveLine& l = s.lines[static_cast<size_t>(ch)];
    l.name = c.name;
    l.capturing = c.archive.Capturing == 1;
    l.device = l.capturing ? c.openedDevice : std::string();
    l.fallback = l.capturing && c.onDefaultDevice;
    l.awaiting = c.awaitingDevice;
    l.stalled = l.capturing && c.input.Stalled();
    l.writeFailing = engine.ArchiveWriteFailing(ch);
    const ChannelAnalysis& a = c.analysis;
    l.levels = l.capturing && a.Ready();
    l.shown = {l.levels && WatchesLeft(a.stereoMode), l.levels && WatchesRight(a.stereoMode)};
    if (l.levels) {
      const LevelWindow& w = a.meter.MeterWindow;
      l.peakDb = {w.MaxPeakL(), w.MaxPeakR()};
      l.rmsDb = {w.MeanRmsL(), w.MeanRmsR()};
      for (int side : {kLeftSide, kRightSide}) {
        const auto i = static_cast<size_t>(side);
        l.overLevel[i] = l.shown[i] && a.levels.OverLevelState[side] == 1;
        l.lowLevel[i] = l.shown[i] && a.lowLevel.State(side) == 1;
      }
    } else {
      l.overLevel = l.lowLevel = {false, false};
    }
    l.shortTermLufs = l.capturing ? engine.Loudness(ch).shortTermLufs : std::nullopt;
  }
  snapshots_.Publish();
}

void LivePublisher::OnEvent(const EventRecord& event) {
  LiveEvent e;
  e.localTime = event.localTime;
  e.utcTime = event.utcTime;
  e.channel = event.channel;
  e.side = event.side;
  e.message = std::string(event.message);
  e.kind = std::string(event.kind);
  if (!events_.TryPush(std::move(e))) dropped_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace varn

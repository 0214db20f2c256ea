#include "analysis/file_analysis.h"

#include <vector>

#include "analysis/block_conversion.h"
#include "analysis/channel_analysis.h"
#include "analysis/loudness_meter.h"
#include "archive/capture_sizing.h"
#include "util/text.h"

namespace varn {

namespace {

// Far above any capture rate; keeps the buffer of a corrupt header small.
constexpr int32_t kMaxAnalysedRate = 1000000;

// Passes every event on with the position of the block being analysed.
class PositionedEvents final : public AnalysisEvents {
 public:
  explicit PositionedEvents(const std::function<void(const FileEvent&)>& sink) : sink_(sink) {}
  void Event(std::string_view message, int, int side) override {
    if (sink_) sink_(FileEvent{positionMs, std::string(message), side});
  }
  int64_t positionMs = 0;

 private:
  const std::function<void(const FileEvent&)>& sink_;
};

std::string DateText(const DateTime& t) {
  return PadNumber(t.year, 4) + "/" + PadNumber(t.month, 2) + "/" + PadNumber(t.day, 2) + " " +
         PadNumber(t.hour, 2) + ":" + PadNumber(t.minute, 2) + ":" + PadNumber(t.second, 2);
}

// The file's frames after gain, in its own channels, for the loudness meter.
class GainedLoudness {
 public:
  GainedLoudness(int32_t rate, int32_t channels, int32_t frames, float recLevelDb)
      : meter_(rate, channels),
        gain_(AnalysisGain(recLevelDb)),
        frames_(static_cast<size_t>(frames)),
        samples_(static_cast<size_t>(frames) * channels) {}

  void Add(const int16_t* samples, int64_t count) {
    // Stereo mode Stereo converts each side on its own, exactly as the
    // archive's copy is made; a mono file fills L only.
    const int channels = meter_.Channels();
    ConvertBlock(samples, channels, static_cast<int32_t>(count), gain_, StereoMode::Stereo,
                 frames_.data());
    for (int64_t i = 0; i < count; ++i) {
      samples_[i * channels] = frames_[i].L;
      if (channels == 2) samples_[i * 2 + 1] = frames_[i].R;
    }
    meter_.Add(samples_.data(), static_cast<size_t>(count));
  }
  LoudnessFigures Figures() const { return meter_.Figures(); }

 private:
  LoudnessMeter meter_;
  float gain_;
  std::vector<Frame> frames_;
  std::vector<int16_t> samples_;
};

}  // namespace

FileAnalysisResult AnalyseRecording(PcmFileReader& source, const FileAnalysisSetup& setup,
                                    const std::function<void(const FileEvent&)>& onEvent) {
  FileAnalysisResult result;
  const int32_t rate = source.SampleRate();
  const int32_t channels = source.Channels();
  if (rate < 1 || rate > kMaxAnalysedRate) {
    result.error = "has a sample rate of " + std::to_string(rate) + " Hz, which cannot be analysed";
    return result;
  }
  const int32_t s = ComputeCaptureSizing(rate, setup.bitRate, setup.bufferSec).samplesPerBuffer;
  result.samplesPerBuffer = s;

  ChannelAnalysis analysis;
  // A mono recording is format code 2, whose channels are always MonoLeft.
  analysis.stereoMode = channels == 1 ? StereoMode::MonoLeft : setup.stereoMode;
  if (!analysis.Start(AnalysisFormat{rate, channels, 16, s}, setup.settings)) {
    result.error = "has a format that cannot be analysed (" + std::to_string(rate) + " Hz, " +
                   std::to_string(channels) + " channels)";
    return result;
  }
  // No event came before the file: the first change may be reported at once.
  analysis.spectrum.lastChangeEventTime.reset();

  // The spacing of change events runs on the position in the file.
  const int64_t originMs = EpochMsFromDateTime(DateTime{2000, 1, 1, 0, 0, 0, 0});
  ManualClock clock(DateTimeFromEpochMs(originMs));
  PositionedEvents events(onEvent);
  const AnalysisContext ctx{&setup.settings, &clock, &events, nullptr};

  std::optional<GainedLoudness> loudness;
  if (setup.loudness) loudness.emplace(rate, channels, s, setup.recLevelDb);

  const int32_t seg = analysis.SegmentLength();
  std::vector<int16_t> buffer(static_cast<size_t>(s) * channels);
  for (int64_t b = 0;; ++b) {
    const int64_t got = source.Read(buffer.data(), s);
    if (got < 0) {
      result.error = "could not be read to its end";
      return result;
    }
    result.framesRead += got;
    // Every frame counts for the loudness, the end beyond the last whole
    // segment too.
    if (loudness) loudness->Add(buffer.data(), got);
    const int64_t segments = got / seg < 6 ? got / seg : 6;
    for (int64_t k = 0; k < segments; ++k) {
      // Segment 5 is analysed once the device has moved on, so its own
      // buffer has completed by then.
      const int64_t completed = b + (k == 5 ? 1 : 0);
      analysis.TickCount = completed < 2147483647 ? static_cast<int32_t>(completed) : 2147483647;
      const int64_t firstFrame = b * s + k * seg;
      events.positionMs = firstFrame * 1000 / rate;
      clock.Set(DateTimeFromEpochMs(originMs + events.positionMs));
      const auto block = analysis.Convert(buffer.data() + k * seg * channels, setup.recLevelDb);
      analysis.AnalyseBlock(0, block, ctx);
    }
    if (got < s) break;
  }
  result.ok = true;
  result.levelMax = analysis.levels.LevelMax;
  result.levelMin = analysis.levels.LevelMin;
  if (loudness) result.loudness = loudness->Figures();
  return result;
}

std::optional<DateTime> ArchiveStartTime(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  if (name.size() != 14 || name.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  auto field = [&](size_t at, size_t length) { return std::stoi(name.substr(at, length)); };
  const DateTime t{
      field(0, 4), field(4, 2), field(6, 2), field(8, 2), field(10, 2), field(12, 2), 0};
  // Only a real date and time: it must read back unchanged.
  const DateTime back = DateTimeFromEpochMs(EpochMsFromDateTime(t));
  if (t.month < 1 || t.month > 12 || back.year != t.year || back.month != t.month ||
      back.day != t.day || t.hour > 23 || t.minute > 59 || t.second > 59)
    return std::nullopt;
  return t;
}

std::string WallTimeText(const DateTime& start, int64_t positionMs) {
  return DateText(DateTimeFromEpochMs(EpochMsFromDateTime(start) + positionMs));
}

std::string PositionText(int64_t positionMs) {
  const int64_t seconds = positionMs / 1000;
  return PadNumber(seconds / 3600, 2) + ":" + PadNumber(seconds / 60 % 60, 2) + ":" +
         PadNumber(seconds % 60, 2) + "." + PadNumber(positionMs % 1000, 3);
}

std::string EventLine(const FileEvent& event, const std::optional<DateTime>& start) {
  std::string line = PositionText(event.positionMs);
  if (start) line += " " + WallTimeText(*start, event.positionMs);
  line += " ch1";
  if (event.side != kWholeChannel) line += event.side == kRightSide ? " Rch" : " Lch";
  return line + " " + event.message;
}

std::string LevelsLine(const LevelRecord& max, const LevelRecord& min) {
  std::string line = "levels max";
  for (double v : {max.RmsL, max.RmsR, max.PeakL, max.PeakR}) line += " " + FormatFixed(v, 1);
  line += " min";
  for (double v : {min.RmsL, min.RmsR, min.PeakL, min.PeakR}) line += " " + FormatFixed(v, 1);
  return line;
}

}  // namespace varn

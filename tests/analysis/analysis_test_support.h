#pragma once
// What the analysis tests share: blocks from synthesized sides, and an event
// sink and view that record what the analysis hands them.

#include <span>
#include <string>
#include <vector>

#include "analysis/analysis_output.h"
#include "analysis/analysis_types.h"
#include "audio/capture_channel.h"
#include "support/signal_generator.h"

namespace varn::test {

inline std::vector<Frame> Frames(const Samples& left, const Samples& right) {
  std::vector<Frame> f(std::max(left.size(), right.size()));
  for (size_t i = 0; i < left.size(); ++i) f[i].L = left[i];
  for (size_t i = 0; i < right.size(); ++i) f[i].R = right[i];
  return f;
}
inline std::vector<Frame> Frames(const Samples& left) { return Frames(left, {}); }

// A capture ring filled by hand: B buffers of S frames, no device.
inline void SetUpCapture(CaptureChannel& c, int rate, int channels, int32_t samplesPerBuffer,
                         int32_t bufferCount) {
  c.Format = Pcm16Format(rate, static_cast<uint16_t>(channels));
  c.FormatCode = channels == 1 ? 2 : 3;
  c.SamplesPerBuffer = samplesPerBuffer;
  c.BufferCount = bufferCount;
  c.Headers = std::make_unique<WaveHeader[]>(bufferCount);
  c.SampleBlocks.assign(static_cast<size_t>(bufferCount) * samplesPerBuffer * channels, 0);
  c.Segments = SegmentTable::Build(samplesPerBuffer);
  c.NextBuffer = 0;
}

// The device has written `frames` frames into the buffer at NextBuffer.
inline void SetFramesWritten(CaptureChannel& c, int64_t frames) {
  c.Headers[c.NextBuffer].bytesRecorded.store(static_cast<uint32_t>(frames * c.Format.blockAlign));
}

struct RecordedEvent {
  std::string message;
  int channel;
  int side;
  bool operator==(const RecordedEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RecordedEvent& e) {
  return os << "{" << e.message << ", ch" << e.channel << ", side " << e.side << "}";
}

class RecordingEvents : public AnalysisEvents {
 public:
  void Event(std::string_view message, int channel, int side) override {
    events.push_back({std::string(message), channel, side});
  }
  std::vector<RecordedEvent> events;
};

struct RecordedBar {
  int index;
  float vu;
  float peak;
  std::string text;
  float hold;
};

class RecordingView : public AnalysisView {
 public:
  void DrawMeter(int channel, std::span<const VuBarValues> bars) override {
    meters.emplace_back();
    for (const VuBarValues& b : bars)
      meters.back().push_back({b.index, b.vu, b.peak, std::string(b.text), b.hold});
    log.push_back("meter " + std::to_string(channel));
  }
  void SetLevelFigure(int /*channel*/, int cell, std::string_view text) override {
    cells[cell] = std::string(text);
    log.push_back("cell " + std::to_string(cell));
  }
  void RedrawLevelFigures(int channel) override {
    log.push_back("figures " + std::to_string(channel));
  }
  void DrawSpectrum(int channel, std::span<const double> averaged,
                    std::span<const double> hold) override {
    lastAveraged.assign(averaged.begin(), averaged.end());
    lastHold.assign(hold.begin(), hold.end());
    log.push_back("spectrum " + std::to_string(channel));
  }
  void DrawWaveform(int channel, std::span<const Frame> block) override {
    lastWaveform.assign(block.begin(), block.end());
    log.push_back("waveform " + std::to_string(channel));
  }
  void ResetViews(int channel) override { log.push_back("reset " + std::to_string(channel)); }

  std::vector<std::vector<RecordedBar>> meters;
  std::string cells[4];
  std::vector<double> lastAveraged;
  std::vector<double> lastHold;
  std::vector<Frame> lastWaveform;
  std::vector<std::string> log;
};

}  // namespace varn::test

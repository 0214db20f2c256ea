#pragma once
// One channel's analysis over a recording, as `varn analyze` runs it: the
// file is cut into capture buffers as a live channel of its rate would be,
// every segment is analysed once in order, and TickCount counts the buffers
// completed by the time each segment is analysed. This is how an operator
// checks an archive for faults afterwards.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "analysis/analysis_types.h"
#include "analysis/loudness_figures.h"
#include "analysis/monitor_settings.h"
#include "archive/pcm_file.h"
#include "util/clock.h"

namespace varn {

struct FileAnalysisSetup {
  MonitorSettings settings;
  float recLevelDb = 0.0f;
  StereoMode stereoMode = StereoMode::Stereo;  // a mono file is analysed as MonoLeft
  int32_t bitRate = 160;                       // decides the buffer length, as live
  int32_t bufferSec = 3;
  // Also measure the loudness of every frame after gain, as the archive
  // holds them: the file's own channels, without the stereo mode.
  bool loudness = false;
};

struct FileEvent {
  int64_t positionMs = 0;  // first frame of the block the event was decided in
  std::string message;
  int side = kWholeChannel;
};

struct FileAnalysisResult {
  bool ok = false;
  std::string error;
  int64_t framesRead = 0;
  int32_t samplesPerBuffer = 0;
  LevelRecord levelMax;
  LevelRecord levelMin;
  std::optional<LoudnessFigures> loudness;  // when asked for
};

FileAnalysisResult AnalyseRecording(PcmFileReader& source, const FileAnalysisSetup& setup,
                                    const std::function<void(const FileEvent&)>& onEvent);

// The local start time of an archive file named by it ("20261206181654.wav"),
// or nothing for any other name.
std::optional<DateTime> ArchiveStartTime(const std::string& path);

// "2026/12/06 18:16:54": the wall-clock time `positionMs` into a file that
// started at `start`.
std::string WallTimeText(const DateTime& start, int64_t positionMs);

// "01:02:03.456"; hours go past 24 for long files.
std::string PositionText(int64_t positionMs);

// "00:00:01.500 ch1 Lch レベルUP -3.0db(Peak)", with the wall-clock time
// after the position when the file's start time is known; channel-wide
// events have no side.
std::string EventLine(const FileEvent& event, const std::optional<DateTime>& start);

// "levels max RmsL RmsR PeakL PeakR min RmsL RmsR PeakL PeakR", values "%.1f".
std::string LevelsLine(const LevelRecord& max, const LevelRecord& min);

}  // namespace varn

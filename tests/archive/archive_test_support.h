#pragma once
// Shared pieces of the archive tests: a log that writes into the test's
// folder on a set clock, PCM signals and WAV files, and the independent
// command-line tools (lame, mpg123) that make and check real MP3 files.

#include <cstdint>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "support/signal_generator.h"
#include "support/temp_dir.h"
#include "util/clock.h"

namespace varn::test {

// Interleaved 16-bit frames counting up by one per frame from `start`
// (every channel of a frame holds the same value), wrapping at 16 bits.
std::vector<int16_t> Ramp(int64_t start, int64_t frames, int channels);
// A sine of `hz` at about -12 dBFS, the same on every channel.
std::vector<int16_t> ToneFrames(double hz, int rate, int64_t frames, int channels);
// The samples of a 16-bit WAV file's data chunk.
std::vector<int16_t> ReadPcmWav(const std::string& path);

// Sets the process's time zone (a POSIX TZ text) while it lives.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::string old_;
  bool had_ = false;
};
// Central European time: summer time from 2026-03-29 02:00 (an hour
// skipped) to 2026-10-25 03:00 (02:00..03:00 comes twice).
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// A 16-bit WAV file of `seconds` holding Ramp(first, ...).
void WriteRampWav(const std::string& path, int seconds, int64_t first = 0, int rate = 8000,
                  int channels = 1);

// Runs a shell command line; true when it exits with 0.
bool Shell(const std::string& commandLine);

// Decodes with the mpg123 command-line tool into a WAV file and returns its
// description through rate, channels and frames; false when mpg123 fails.
struct Decoded {
  int rate = 0;
  int channels = 0;
  int64_t frames = 0;
  std::vector<int16_t> samples;
};
bool DecodeWithMpg123(const std::string& mp3, const std::string& workFolder, Decoded& out);

// What `mpg123 -t -v` says about a file: the version ("1.0", "2.0", "2.5"),
// layer ("III"), "cbr128" or "vbr", rate, mode ("j-s", "mono", ...) and the
// number of frames it decoded.
struct Mpg123View {
  std::string version;
  std::string layer;
  std::string bitrate;
  int rate = 0;
  std::string mode;
  int frames = 0;
};
bool ViewWithMpg123(const std::string& mp3, Mpg123View& out);

// main_data_begin of every layer III frame of an MPEG file without tags, in
// order: 0 for a frame that borrows nothing from the frames before it.
std::vector<int> MainDataBegins(const std::vector<uint8_t>& file);

}  // namespace varn::test

#include "archive_test_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

#include "archive/wav_file.h"
#include "support/run_command.h"

namespace varn::test {

ScopedTimeZone::ScopedTimeZone(const char* tz) {
  const char* old = std::getenv("TZ");
  had_ = old != nullptr;
  if (old) old_ = old;
  setenv("TZ", tz, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_)
    setenv("TZ", old_.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

std::vector<int16_t> Ramp(int64_t start, int64_t frames, int channels) {
  std::vector<int16_t> s(static_cast<size_t>(frames * channels));
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s[static_cast<size_t>(i * channels + c)] =
          static_cast<int16_t>(static_cast<uint16_t>(start + i));
  return s;
}

void WriteRampWav(const std::string& path, int seconds, int64_t first, int rate, int channels) {
  WriteWav(path, rate, channels, Ramp(first, int64_t{seconds} * rate, channels));
}

std::vector<int16_t> ToneFrames(double hz, int rate, int64_t frames, int channels) {
  std::vector<int16_t> s(static_cast<size_t>(frames * channels));
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s[static_cast<size_t>(i * channels + c)] =
          static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate));
  return s;
}

std::vector<int16_t> ReadPcmWav(const std::string& path) {
  const WavInfo info = ReadWavInfo(path);
  if (info.Valid != 1) return {};
  const std::vector<uint8_t> bytes = ReadBytes(path);
  const size_t from = static_cast<size_t>(info.DataOffset);
  const size_t count =
      std::min<size_t>(static_cast<size_t>(info.DataSize), bytes.size() - from) / 2;
  std::vector<int16_t> s(count);
  std::memcpy(s.data(), bytes.data() + from, count * 2);
  return s;
}

bool Shell(const std::string& commandLine) {
  return RunCommand(commandLine + " >/dev/null 2>&1").exitCode == 0;
}

bool DecodeWithMpg123(const std::string& mp3, const std::string& workFolder, Decoded& out) {
  const std::string wav = workFolder + "mpg123-out.wav";
  if (!Shell("mpg123 -q -w '" + wav + "' '" + mp3 + "'")) return false;
  const WavInfo info = ReadWavInfo(wav);
  if (info.Valid != 1) return false;
  out.rate = info.SampleRate;
  out.channels = info.Channels;
  out.samples = ReadPcmWav(wav);
  out.frames = static_cast<int64_t>(out.samples.size()) / std::max<int>(out.channels, 1);
  std::remove(wav.c_str());
  return true;
}

bool ViewWithMpg123(const std::string& mp3, Mpg123View& out) {
  const CommandResult r = RunCommand("mpg123 -t -v '" + mp3 + "' 2>&1 | tr '\\r' '\\n'");
  if (r.exitCode != 0) return false;
  std::istringstream in(r.output);
  std::string line;
  bool sawFormat = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    if (first == "MPEG" && !sawFormat) {
      words >> out.version >> std::ws;
      std::string l;
      words >> l >> out.layer >> out.bitrate >> out.rate >> out.mode;
      sawFormat = l == "L";
    } else if (first == ">") {
      std::string count;
      words >> count;  // "767+000": frames done + frames left
      out.frames = std::atoi(count.c_str());
    }
  }
  return sawFormat;
}

std::vector<int> MainDataBegins(const std::vector<uint8_t>& file) {
  // A self-contained frame walk for layer III: the side information starts
  // after the header (and CRC); main_data_begin is its first 9 bits (MPEG-1)
  // or 8 bits (MPEG-2 and 2.5).
  static const int kV1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kV2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[] = {44100, 48000, 32000};
  std::vector<int> begins;
  size_t pos = 0;
  while (pos + 6 <= file.size()) {
    const uint8_t* h = file.data() + pos;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return {};  // lost the frames: fail loudly
    const int version = (h[1] >> 3) & 3;                   // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const bool v1 = version == 3;
    const bool crc = (h[1] & 1) == 0;
    const int kbps = (v1 ? kV1 : kV2)[h[2] >> 4];
    const int rate = kRates[(h[2] >> 2) & 3] / (v1 ? 1 : version == 2 ? 2 : 4);
    const int padding = (h[2] >> 1) & 1;
    const int frameBytes = (v1 ? 144 : 72) * kbps * 1000 / rate + padding;
    const uint8_t* side = h + 4 + (crc ? 2 : 0);
    begins.push_back(v1 ? (side[0] << 1) | (side[1] >> 7) : side[0]);
    if (frameBytes <= 0) return {};
    pos += static_cast<size_t>(frameBytes);
  }
  return begins;
}

}  // namespace varn::test

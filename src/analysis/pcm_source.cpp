#include "analysis/pcm_source.h"

#include <bit>
#include <cstring>

#include "archive/file_access.h"
#include "archive/mp3_file_reader.h"
#include "archive/wav_file.h"
#include "util/text.h"

namespace varn {

namespace {

constexpr int32_t kFormatTagExtensible = 0xFFFE;

class WavPcmSource final : public PcmSource {
 public:
  WavPcmSource(OpenFile file, const WavInfo& info, int64_t frames)
      : file_(std::move(file)),
        rate_(info.SampleRate),
        channels_(info.Channels),
        blockAlign_(info.BlockAlign),
        next_(info.DataOffset),
        end_(info.DataOffset + frames * info.BlockAlign) {}

  int32_t SampleRate() const override { return rate_; }
  int32_t Channels() const override { return channels_; }

  int64_t Read(int16_t* destination, int64_t frames) override {
    const int64_t available = (end_ - next_) / blockAlign_;
    const int64_t count = frames < available ? frames : available;
    if (count <= 0) return 0;
    const int64_t bytes = count * blockAlign_;
    if (!ReadOpenFile(file_, destination, bytes, next_)) return -1;
    if constexpr (std::endian::native == std::endian::big) {
      auto* p = reinterpret_cast<uint16_t*>(destination);
      for (int64_t i = 0; i < count * channels_; ++i) p[i] = static_cast<uint16_t>((p[i] >> 8) | (p[i] << 8));
    }
    next_ += bytes;
    return count;
  }

 private:
  OpenFile file_;
  int32_t rate_;
  int32_t channels_;
  int32_t blockAlign_;
  int64_t next_;
  int64_t end_;
};

class Mp3PcmSource final : public PcmSource {
 public:
  int32_t SampleRate() const override { return reader.Rate(); }
  int32_t Channels() const override { return reader.Channels(); }
  int64_t Read(int16_t* destination, int64_t frames) override { return reader.Read(destination, frames); }

  Mp3FileReader reader;
};

bool LooksLikeMpegAudio(const uint8_t* b, size_t n) {
  if (n >= 3 && std::memcmp(b, "ID3", 3) == 0) return true;
  return n >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0;
}

}  // namespace

PcmOpenResult OpenWavPcmSource(const std::string& path) {
  PcmOpenResult r;
  const WavInfo info = ReadWavInfo(path);
  if (info.Valid != 1) {
    r.error = "cannot be read as a WAV file";
    return r;
  }
  if ((info.FormatTag != kFormatTagPcm && info.FormatTag != kFormatTagExtensible) ||
      info.BitsPerSample != 16 || (info.Channels != 1 && info.Channels != 2)) {
    r.error = "holds " + std::to_string(info.BitsPerSample) + "-bit audio in " +
              std::to_string(info.Channels) +
              " channels; only 16-bit PCM, mono or stereo, can be analysed";
    return r;
  }
  OpenFile file = OpenForReading(path);
  const int64_t size = file.IsOpen() ? GetOpenFileSize(file) : -1;
  if (size < 0) {
    r.error = "cannot be opened";
    return r;
  }
  const int64_t held = size > info.DataOffset ? size - info.DataOffset : 0;
  const int64_t bytes = (info.DataSize == 0 || info.DataSize > held) ? held : info.DataSize;
  r.source = std::make_unique<WavPcmSource>(std::move(file), info, bytes / info.BlockAlign);
  return r;
}

PcmOpenResult OpenMp3PcmSource(const std::string& path) {
  auto source = std::make_unique<Mp3PcmSource>();
  if (!source->reader.Open(path)) return {nullptr, "cannot be read as MPEG audio"};
  if (source->Channels() != 1 && source->Channels() != 2) return {nullptr, "holds no mono or stereo audio"};
  return {std::move(source), ""};
}

PcmOpenResult OpenPcmSource(const std::string& path) {
  uint8_t head[4] = {};
  const int64_t size = GetFileSizeByName(path);
  if (!FileExists(path)) return {nullptr, "does not exist or is not a file"};
  const size_t n = size >= 4 ? 4 : static_cast<size_t>(size > 0 ? size : 0);
  if (n > 0 && !ReadFileBytes(head, static_cast<int64_t>(n), 0, path)) return {nullptr, "cannot be opened"};
  if (n == 4 && std::memcmp(head, "RIFF", 4) == 0) return OpenWavPcmSource(path);
  if (LooksLikeMpegAudio(head, n) || EndsWithIgnoreCase(path, ".mp3")) return OpenMp3PcmSource(path);
  return OpenWavPcmSource(path);  // says why it is not a WAV file
}

}  // namespace varn

#include "archive/pcm_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/file_access.h"
#include "archive/mp3_file_reader.h"
#include "archive/wav_file.h"
#include "util/text.h"

namespace varn {

namespace {

constexpr int32_t kTagPcm = 1;
constexpr int32_t kTagExtensible = 0xFFFE;

// The samples are the data chunk's as far as the file really holds them: a
// data size of 0 with samples after it (an archive whose header was never
// patched) or one larger than the file reads to the end of the file.
class WavReader final : public PcmFileReader {
 public:
  WavReader(OpenFile file, const WavInfo& info) : file_(std::move(file)), info_(info) {
    const int64_t available = std::max<int64_t>(0, info.FileSize - info.DataOffset);
    int64_t size = info.DataSize;
    if (size == 0 || size > available) size = available;
    frames_ = size / info.BlockAlign;
  }

  int32_t SampleRate() const override { return info_.SampleRate; }
  int32_t Channels() const override { return info_.Channels; }

  int64_t Read(int16_t* out, int64_t frames) override {
    const int64_t n = std::min(frames_ - position_, frames);
    if (n <= 0) return 0;
    const int64_t bytes = n * info_.BlockAlign;
    raw_.resize(static_cast<size_t>(bytes));
    if (!ReadOpenFile(file_, raw_.data(), bytes, info_.DataOffset + position_ * info_.BlockAlign))
      return -1;
    Convert(raw_.data(), out, static_cast<size_t>(n * info_.Channels));
    position_ += n;
    return n;
  }

  bool Rewind() override {
    position_ = 0;
    return file_.IsOpen();
  }

 private:
  void Convert(const uint8_t* in, int16_t* out, size_t samples) const {
    switch (info_.BitsPerSample) {
      case 8:
        for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((in[i] - 128) * 256);
        break;
      case 16:
        for (size_t i = 0; i < samples; ++i)
          out[i] = static_cast<int16_t>(in[2 * i] | (in[2 * i + 1] << 8));
        break;
      default:  // 24 bits: the top two bytes
        for (size_t i = 0; i < samples; ++i)
          out[i] = static_cast<int16_t>(in[3 * i + 1] | (in[3 * i + 2] << 8));
        break;
    }
  }

  OpenFile file_;
  WavInfo info_;
  int64_t frames_ = 0;
  int64_t position_ = 0;
  std::vector<uint8_t> raw_;
};

class Mp3Reader final : public PcmFileReader {
 public:
  int32_t SampleRate() const override { return reader.Rate(); }
  int32_t Channels() const override { return reader.Channels(); }
  int64_t Read(int16_t* out, int64_t frames) override { return reader.Read(out, frames); }
  bool Rewind() override { return reader.Rewind(); }

  Mp3FileReader reader;
};

std::unique_ptr<PcmFileReader> OpenWav(const std::string& path, std::string* error) {
  const WavInfo info = ReadWavInfo(path);
  if (info.Valid != 1) {
    *error = "cannot be read as a WAV file";
    return nullptr;
  }
  if (info.FormatTag != kTagPcm && info.FormatTag != kTagExtensible) {
    *error = "holds no integer PCM (format tag " + std::to_string(info.FormatTag) + ")";
    return nullptr;
  }
  OpenFile file = OpenForReading(path);
  if (!file.IsOpen()) {
    *error = "cannot be opened";
    return nullptr;
  }
  return std::make_unique<WavReader>(std::move(file), info);
}

std::unique_ptr<PcmFileReader> OpenMp3(const std::string& path, std::string* error) {
  auto mp3 = std::make_unique<Mp3Reader>();
  if (!mp3->reader.Open(path)) {
    *error = "cannot be read as MPEG audio";
    return nullptr;
  }
  return mp3;
}

bool LooksLikeMpegAudio(const uint8_t* b, size_t n) {
  if (n >= 3 && std::memcmp(b, "ID3", 3) == 0) return true;
  return n >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0;
}

}  // namespace

bool IsPcmFileName(const std::string& name) {
  return EndsWithIgnoreCase(name, ".wav") || EndsWithIgnoreCase(name, ".mp3");
}

std::unique_ptr<PcmFileReader> OpenPcmFile(const std::string& path, std::string* error) {
  std::string reason;
  std::unique_ptr<PcmFileReader> reader;
  uint8_t head[4] = {};
  const int64_t size = GetFileSizeByName(path);
  const size_t n = static_cast<size_t>(std::clamp<int64_t>(size, 0, 4));
  if (!FileExists(path))
    reason = "does not exist or is not a file";
  else if (n > 0 && !ReadFileBytes(head, static_cast<int64_t>(n), 0, path))
    reason = "cannot be opened";
  else if (n == 4 && std::memcmp(head, "RIFF", 4) == 0)
    reader = OpenWav(path, &reason);
  else if (LooksLikeMpegAudio(head, n) || EndsWithIgnoreCase(path, ".mp3"))
    reader = OpenMp3(path, &reason);
  else
    reader = OpenWav(path, &reason);  // says why it is not a WAV file
  if (!reader && error) *error = reason;
  return reader;
}

}  // namespace varn

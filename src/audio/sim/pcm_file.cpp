#include "audio/sim/pcm_file.h"

#include <algorithm>
#include <vector>

#include "archive/file_access.h"
#include "archive/wav_file.h"
#include "util/text.h"

namespace varn {

namespace {

// Integer PCM WAV of 8, 16 or 24 bits. A data size of 0 or one larger than
// the file (an archive file cut off before its header was patched) means
// "up to the end of the file".
class WavPcmReader final : public PcmFileReader {
 public:
  WavPcmReader(OpenFile file, const WavInfo& info) : file_(std::move(file)), info_(info) {
    const int64_t available = std::max<int64_t>(0, info.FileSize - info.DataOffset);
    int64_t size = info.DataSize;
    if (size == 0 || size > available) size = available;
    frames_ = size / info.BlockAlign;
  }

  int SampleRate() const override { return info_.SampleRate; }
  int Channels() const override { return info_.Channels; }

  size_t Read(int16_t* out, size_t frames) override {
    const int64_t left = frames_ - position_;
    const size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(frames)));
    if (n == 0) return 0;
    const size_t bytes = n * static_cast<size_t>(info_.BlockAlign);
    raw_.resize(bytes);
    const int64_t offset = info_.DataOffset + position_ * info_.BlockAlign;
    if (!ReadOpenFile(file_, raw_.data(), static_cast<int64_t>(bytes), offset)) return 0;
    Convert(raw_.data(), out, n * static_cast<size_t>(info_.Channels));
    position_ += static_cast<int64_t>(n);
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
      default:  // 24: the top two bytes
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

std::unique_ptr<PcmFileReader> OpenWav(const std::string& path, std::string* error) {
  const WavInfo info = ReadWavInfo(path);
  if (info.Valid != 1) {
    *error = "it is not a readable WAV file";
    return nullptr;
  }
  if (info.FormatTag != 1 && info.FormatTag != 0xFFFE) {
    *error = "it is not integer PCM (format tag " + std::to_string(info.FormatTag) + ")";
    return nullptr;
  }
  if (info.BitsPerSample != 8 && info.BitsPerSample != 16 && info.BitsPerSample != 24) {
    *error = "it has " + std::to_string(info.BitsPerSample) + "-bit samples";
    return nullptr;
  }
  OpenFile file = OpenForReading(path);
  if (!file.IsOpen()) {
    *error = "it cannot be opened";
    return nullptr;
  }
  return std::make_unique<WavPcmReader>(std::move(file), info);
}

}  // namespace

bool IsPcmFileName(const std::string& name) { return EndsWithIgnoreCase(name, ".wav"); }

std::unique_ptr<PcmFileReader> OpenPcmFile(const std::string& path, std::string* error) {
  std::string reason;
  std::unique_ptr<PcmFileReader> reader;
  if (EndsWithIgnoreCase(path, ".wav"))
    reader = OpenWav(path, &reason);
  else
    reason = "files of this kind cannot be played";
  if (!reader && error) *error = reason;
  return reader;
}

}  // namespace varn

// The decoding stream: MPEG audio in, 16-bit PCM out, by mpg123 in feed
// mode, so the input may be cut anywhere.

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "archive/codec_stream_backends.h"
#include "archive/mpeg_header.h"

namespace varn {

namespace {

// The most samples one input byte can give: the smallest frames of MPEG-1
// hold 12 samples per byte (32 kbit/s at 48 kHz), those of MPEG-2 and 2.5
// 24 (8 kbit/s at 24 kHz, 576 samples in 24 bytes).
constexpr uint64_t kSamplesPerByteMpeg1 = 12;
constexpr uint64_t kSamplesPerByteLowRate = 24;
constexpr uint64_t kFramesHeldBack = 2;  // a partial frame and the one being decoded
constexpr uint64_t kMaxFrameSamples = 1152;

class Mpg123DecoderStream final : public CodecStream {
 public:
  Mpg123DecoderStream(mpg123_handle* mh, int channels, bool mpeg1)
      : mh_(mh), blockAlign_(static_cast<uint32_t>(2 * channels)), mpeg1_(mpeg1) {}
  ~Mpg123DecoderStream() override { mpg123_delete(mh_); }

  int32_t Size(uint32_t sourceBytes, uint32_t& destinationBytes) override {
    const uint64_t perByte = mpeg1_ ? kSamplesPerByteMpeg1 : kSamplesPerByteLowRate;
    const uint64_t frames = (sourceBytes * perByte + kFramesHeldBack * kMaxFrameSamples);
    const uint64_t bound = frames * blockAlign_ + pending_.size();
    if (bound > 0x7FFFFFFF) return kStreamInvalidParam;
    destinationBytes = static_cast<uint32_t>(bound);
    return kStreamOk;
  }

  int32_t Reset() override {
    pending_.clear();
    return kStreamOk;
  }

 protected:
  int32_t DoConvert(StreamHeader& h, uint32_t) override {
    if (h.sourceLength > 0 && mpg123_feed(mh_, h.source, h.sourceLength) != MPG123_OK)
      return kStreamNotPossible;
    h.sourceLengthUsed = h.sourceLength;
    // Decode everything that is complete; what does not fit the caller's
    // buffer waits for the next call.
    unsigned char buf[16384];
    for (;;) {
      size_t done = 0;
      const int r = mpg123_read(mh_, buf, sizeof buf, &done);
      pending_.insert(pending_.end(), buf, buf + done);
      if (r == MPG123_NEED_MORE || r == MPG123_DONE) break;
      if (r == MPG123_NEW_FORMAT || r == MPG123_OK) continue;
      return kStreamNotPossible;
    }
    const size_t out = std::min<size_t>(pending_.size(), h.destinationLength);
    // Before the first samples the buffer may be null: no copy, not even of 0 bytes.
    if (out > 0) std::memcpy(h.destination, pending_.data(), out);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(out));
    h.destinationLengthUsed = static_cast<uint32_t>(out);
    return kStreamOk;
  }

 private:
  mpg123_handle* mh_;
  uint32_t blockAlign_;
  bool mpeg1_;
  std::vector<uint8_t> pending_;
};

}  // namespace

std::unique_ptr<CodecStream> OpenMpg123Decoder(const CodecFormat& mp3, const CodecFormat& pcm,
                                               int32_t& result) {
  result = kStreamNotPossible;
  const int channels = mp3.channels;
  const int32_t rate = static_cast<int32_t>(mp3.samplesPerSec);
  const auto version = VersionForRate(rate);
  if (channels < 1 || channels > 2 || !version) return nullptr;
  if (pcm.channels != mp3.channels || pcm.samplesPerSec != mp3.samplesPerSec ||
      pcm.bitsPerSample != 16 || pcm.blockAlign != 2 * channels)
    return nullptr;
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) {
    result = kStreamNoMemory;
    return nullptr;
  }
  // One output format only: the one the caller's record names. mpg123
  // converts mono to stereo and back when a file's frames say otherwise.
  const bool ok = mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
                  mpg123_format_none(mh) == MPG123_OK &&
                  mpg123_format(mh, rate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                                MPG123_ENC_SIGNED_16) == MPG123_OK &&
                  mpg123_open_feed(mh) == MPG123_OK;
  if (!ok) {
    mpg123_delete(mh);
    return nullptr;
  }
  result = kStreamOk;
  return std::make_unique<Mpg123DecoderStream>(mh, channels, *version == MpegVersion::Mpeg1);
}

}  // namespace varn

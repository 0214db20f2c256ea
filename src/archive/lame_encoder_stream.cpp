// The encoding stream: 16-bit PCM in, MPEG layer III frames out, by LAME.

#include <lame.h>

#include <cstdarg>
#include <cstring>
#include <vector>

#include "archive/codec_stream_backends.h"
#include "archive/mpeg_header.h"

namespace varn {

namespace {

// LAME's own bound for the output of n samples, and for the final flush.
constexpr double kOutputPerSample = 1.25;
constexpr uint32_t kOutputReserve = 7200;

// LAME's notes go to standard error by default; the program reports its
// own failures.
void Quiet(const char*, va_list) {}

class LameEncoderStream final : public CodecStream {
 public:
  LameEncoderStream(lame_global_flags* lame, int channels) : lame_(lame), channels_(channels) {}
  ~LameEncoderStream() override { lame_close(lame_); }

  int32_t Size(uint32_t sourceBytes, uint32_t& destinationBytes) override {
    const uint64_t frames = sourceBytes / BlockAlign();
    const uint64_t bound =
        static_cast<uint64_t>(kOutputPerSample * static_cast<double>(frames)) + kOutputReserve;
    if (bound > 0x7FFFFFFF) return kStreamInvalidParam;
    destinationBytes = static_cast<uint32_t>(bound);
    return kStreamOk;
  }

  int32_t Reset() override { return kStreamOk; }

 protected:
  int32_t DoConvert(StreamHeader& h, uint32_t flags) override {
    if (finished_) return kStreamNotPossible;  // LAME cannot go on after its flush
    const uint32_t frames = h.sourceLength / BlockAlign();
    const uint32_t used = frames * BlockAlign();
    int produced = 0;
    if (frames > 0) {
      // Copy into aligned samples; the caller's bytes need not be aligned.
      samples_.resize(static_cast<size_t>(frames) * channels_);
      std::memcpy(samples_.data(), h.source, used);
      const int room = static_cast<int>(h.destinationLength);
      produced = channels_ == 2
                     ? lame_encode_buffer_interleaved(lame_, samples_.data(),
                                                      static_cast<int>(frames), h.destination, room)
                     : lame_encode_buffer(lame_, samples_.data(), samples_.data(),
                                          static_cast<int>(frames), h.destination, room);
      if (produced < 0) return kStreamNotPossible;
    }
    if (flags & kConvertEnd) {
      const int room = static_cast<int>(h.destinationLength) - produced;
      if (room < static_cast<int>(kOutputReserve)) return kStreamInvalidParam;
      const int tail = lame_encode_flush(lame_, h.destination + produced, room);
      if (tail < 0) return kStreamNotPossible;
      produced += tail;
      finished_ = true;
    }
    h.sourceLengthUsed = used;
    h.destinationLengthUsed = static_cast<uint32_t>(produced);
    return kStreamOk;
  }

 private:
  uint32_t BlockAlign() const { return static_cast<uint32_t>(2 * channels_); }

  lame_global_flags* lame_;
  int channels_;
  bool finished_ = false;
  std::vector<short> samples_;
};

}  // namespace

std::unique_ptr<CodecStream> OpenLameEncoder(const CodecFormat& pcm, const CodecFormat& mp3,
                                             int32_t& result) {
  result = kStreamNotPossible;
  const int channels = pcm.channels;
  const int32_t rate = static_cast<int32_t>(pcm.samplesPerSec);
  if (channels < 1 || channels > 2 || pcm.bitsPerSample != 16 || pcm.blockAlign != 2 * channels)
    return nullptr;
  if (mp3.channels != pcm.channels || mp3.samplesPerSec != pcm.samplesPerSec) return nullptr;
  // The bit rate travels as average bytes per second; it must be a whole
  // number of kbit/s that the MPEG version of this rate defines.
  if ((mp3.avgBytesPerSec * 8) % 1000 != 0) return nullptr;
  const int32_t kbps = static_cast<int32_t>(mp3.avgBytesPerSec * 8 / 1000);
  if (!IsLayer3BitRate(rate, kbps)) return nullptr;

  lame_global_flags* lame = lame_init();
  if (!lame) {
    result = kStreamNoMemory;
    return nullptr;
  }
  lame_set_errorf(lame, Quiet);
  lame_set_debugf(lame, Quiet);
  lame_set_msgf(lame, Quiet);
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, kbps);
  lame_set_quality(lame, 5);
  // Every frame stands alone: an archive file cut at the hour must decode
  // from its first frame, without bits borrowed by the previous file.
  lame_set_disable_reservoir(lame, 1);
  // The stream is cut into hourly files; a tag written for the whole stream
  // would be wrong for each of them.
  lame_set_bWriteVbrTag(lame, 0);
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0 || lame_get_brate(lame) != kbps ||
      lame_get_out_samplerate(lame) != rate) {
    lame_close(lame);
    return nullptr;
  }
  result = kStreamOk;
  return std::make_unique<LameEncoderStream>(lame, channels);
}

}  // namespace varn

#pragma once
// One connection to a network stream, demuxed and decoded with FFmpeg's
// libraries and converted to interleaved 16-bit PCM at the channel's rate
// and channel count. Only the protocols and formats a radio stream needs
// are allowed (kStreamProtocols, kStreamFormats), also inside an HLS
// playlist. Every blocking call is bounded: connecting by kConnectTimeoutMs,
// each read by kReadTimeoutMs, and Abort (from any thread) ends a call under
// way at once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varn {

inline constexpr const char* kStreamProtocols = "http,https,tls,tcp,crypto,hls";
inline constexpr const char* kStreamFormats = "mp3,aac,ogg,flac,wav,hls,mpegts";
inline constexpr int kConnectTimeoutMs = 5000;
// Longer than a stalled source may pause before it counts as gone: a
// server that stays up but sends nothing is a stalled input first.
inline constexpr int kReadTimeoutMs = 20000;

class StreamDecoder {
 public:
  StreamDecoder(int rate, int channels);
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // Connects and finds the audio; false with Reason() when it cannot.
  bool Open(const std::string& url);
  // Reads and decodes the next packet, appending the converted samples to
  // `out` (often none). False at the end of the stream or on an error.
  bool Next(std::vector<int16_t>& out);
  // Ends a blocking call under way and every later one (any thread).
  void Abort() { abort_.store(true, std::memory_order_release); }

  // Why Open or Next failed.
  const std::string& Reason() const { return reason_; }
  // True for a stream without an end (a radio mount, a live playlist);
  // false for a file or a finished playlist, which can be read ahead.
  bool Live() const;
  // The stream's own format: "mp3/mp3, 44100 Hz, 2 channels, 128 kbit/s".
  std::string FormatText() const;
  // The title sent since the last call, raw; "" when none arrived.
  std::string TakeTitle();
  // Stretches the next `distance` output frames by `delta` frames (drift
  // steering); false when the resampler refused.
  bool Steer(int delta, int distance);

 private:
  struct Parts;
  static int Interrupted(void* self);
  bool SetUpResampler();
  bool Convert(const uint8_t* const* data, int frames, std::vector<int16_t>& out);
  void ReadTitle();

  int rate_;
  int channels_;
  std::unique_ptr<Parts> p_;
  std::atomic<bool> abort_{false};
  std::atomic<int64_t> deadlineMs_{0};  // steady-clock milliseconds
  std::string reason_;
  std::string title_;
  std::string lastIcy_;
  bool titleNew_ = false;
};

}  // namespace varn

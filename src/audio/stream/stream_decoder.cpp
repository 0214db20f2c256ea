#include "audio/stream/stream_decoder.h"

#include <chrono>

#include "audio/stream/stream_title.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace varn {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

struct StreamDecoder::Parts {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  // What the resampler was made for.
  int inRate = 0;
  int inFormat = -1;
  AVChannelLayout inLayout{};
  std::vector<uint8_t> scratch;

  ~Parts() {
    av_channel_layout_uninit(&inLayout);
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

StreamDecoder::StreamDecoder(int rate, int channels)
    : rate_(rate), channels_(channels == 1 ? 1 : 2), p_(std::make_unique<Parts>()) {}

StreamDecoder::~StreamDecoder() = default;

int StreamDecoder::Interrupted(void* self) {
  auto* d = static_cast<StreamDecoder*>(self);
  if (d->abort_.load(std::memory_order_acquire)) return 1;
  return NowMs() > d->deadlineMs_.load(std::memory_order_acquire) ? 1 : 0;
}

bool StreamDecoder::Open(const std::string& url) {
  // The libraries' own messages would go to standard error; what matters
  // reaches the diagnostics file through Reason.
  av_log_set_level(AV_LOG_QUIET);
  Parts& p = *p_;
  p.format = avformat_alloc_context();
  p.packet = av_packet_alloc();
  p.frame = av_frame_alloc();
  if (!p.format || !p.packet || !p.frame) {
    reason_ = "out of memory";
    return false;
  }
  p.format->interrupt_callback = {&StreamDecoder::Interrupted, this};
  deadlineMs_.store(NowMs() + kConnectTimeoutMs, std::memory_order_release);

  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", kStreamProtocols, 0);
  av_dict_set(&options, "format_whitelist", kStreamFormats, 0);
  av_dict_set(&options, "user_agent", "varn/" VARN_VERSION, 0);
  av_dict_set_int(&options, "rw_timeout", int64_t{kReadTimeoutMs} * 1000, 0);
  av_dict_set_int(&options, "timeout", int64_t{kReadTimeoutMs} * 1000, 0);
  av_dict_set(&options, "icy", "1", 0);
  av_dict_set(&options, "reconnect", "0", 0);
  int r = avformat_open_input(&p.format, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) {
    // avformat_open_input frees the context on failure.
    p.format = nullptr;
    reason_ = abort_.load() ? "stopped" : "cannot open: " + AvError(r);
    return false;
  }
  deadlineMs_.store(NowMs() + kConnectTimeoutMs, std::memory_order_release);
  r = avformat_find_stream_info(p.format, nullptr);
  if (r < 0) {
    reason_ = "no stream information: " + AvError(r);
    return false;
  }
  const AVCodec* codec = nullptr;
  p.stream = av_find_best_stream(p.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (p.stream < 0 || !codec) {
    reason_ = "no audio in the stream";
    return false;
  }
  p.codec = avcodec_alloc_context3(codec);
  if (!p.codec ||
      avcodec_parameters_to_context(p.codec, p.format->streams[p.stream]->codecpar) < 0 ||
      avcodec_open2(p.codec, codec, nullptr) < 0) {
    reason_ = std::string("cannot decode ") + codec->name;
    return false;
  }
  for (unsigned i = 0; i < p.format->nb_streams; ++i)
    if (static_cast<int>(i) != p.stream) p.format->streams[i]->discard = AVDISCARD_ALL;
  ReadTitle();
  return true;
}

bool StreamDecoder::Live() const {
  const Parts& p = *p_;
  return !p.format || p.format->duration == AV_NOPTS_VALUE || p.format->duration <= 0;
}

std::string StreamDecoder::FormatText() const {
  const Parts& p = *p_;
  if (!p.codec || !p.format) return "";
  std::string text = std::string(p.format->iformat->name) + "/" +
                     avcodec_get_name(p.codec->codec_id) + ", " +
                     std::to_string(p.codec->sample_rate) + " Hz, " +
                     std::to_string(p.codec->ch_layout.nb_channels) + " channels";
  const int64_t bitRate = p.codec->bit_rate > 0 ? p.codec->bit_rate : p.format->bit_rate;
  if (bitRate > 0) text += ", " + std::to_string(bitRate / 1000) + " kbit/s";
  return text;
}

bool StreamDecoder::SetUpResampler() {
  Parts& p = *p_;
  const AVFrame& f = *p.frame;
  if (p.swr && f.sample_rate == p.inRate && f.format == p.inFormat &&
      av_channel_layout_compare(&f.ch_layout, &p.inLayout) == 0)
    return true;
  swr_free(&p.swr);
  av_channel_layout_uninit(&p.inLayout);
  AVChannelLayout out{};
  av_channel_layout_default(&out, channels_);
  AVChannelLayout in{};
  if (f.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || f.ch_layout.nb_channels <= 0)
    av_channel_layout_default(&in, f.ch_layout.nb_channels > 0 ? f.ch_layout.nb_channels : 2);
  else
    av_channel_layout_copy(&in, &f.ch_layout);
  int r = swr_alloc_set_opts2(&p.swr, &out, AV_SAMPLE_FMT_S16, rate_, &in,
                              static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&out);
  // Always through the resampler, so drift steering can stretch the audio.
  if (r >= 0) r = av_opt_set_int(p.swr, "flags", SWR_FLAG_RESAMPLE, 0);
  if (r >= 0) r = swr_init(p.swr);
  av_channel_layout_copy(&p.inLayout, &f.ch_layout);
  av_channel_layout_uninit(&in);
  if (r < 0) {
    reason_ = "cannot convert the stream's audio: " + AvError(r);
    swr_free(&p.swr);
    return false;
  }
  p.inRate = f.sample_rate;
  p.inFormat = f.format;
  return true;
}

bool StreamDecoder::Convert(const uint8_t* const* data, int frames, std::vector<int16_t>& out) {
  Parts& p = *p_;
  const int room = swr_get_out_samples(p.swr, frames);
  if (room <= 0) return true;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(room) * channels_);
  uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out.data() + at)};
  const int made = swr_convert(p.swr, dst, room, const_cast<const uint8_t**>(data), frames);
  if (made < 0) {
    out.resize(at);
    reason_ = "conversion failed: " + AvError(made);
    return false;
  }
  out.resize(at + static_cast<size_t>(made) * channels_);
  return true;
}

bool StreamDecoder::Next(std::vector<int16_t>& out) {
  Parts& p = *p_;
  if (!p.codec) return false;
  deadlineMs_.store(NowMs() + kReadTimeoutMs, std::memory_order_release);
  int r = av_read_frame(p.format, p.packet);
  if (r < 0) {
    reason_ = r == AVERROR_EOF    ? "the stream ended"
              : abort_.load()     ? "stopped"
              : r == AVERROR_EXIT ? "no data for " + std::to_string(kReadTimeoutMs / 1000) + " s"
                                  : "read failed: " + AvError(r);
    return false;
  }
  ReadTitle();
  if (p.packet->stream_index != p.stream) {
    av_packet_unref(p.packet);
    return true;
  }
  r = avcodec_send_packet(p.codec, p.packet);
  av_packet_unref(p.packet);
  // A damaged packet is skipped, as a player would; the stream goes on.
  if (r < 0 && r != AVERROR(EAGAIN)) return true;
  while ((r = avcodec_receive_frame(p.codec, p.frame)) >= 0) {
    const bool ok =
        SetUpResampler() && Convert(const_cast<const uint8_t* const*>(p.frame->extended_data),
                                    p.frame->nb_samples, out);
    av_frame_unref(p.frame);
    if (!ok) return false;
  }
  return true;
}

void StreamDecoder::ReadTitle() {
  Parts& p = *p_;
  std::string title;
  uint8_t* icy = nullptr;
  if (p.format->pb &&
      av_opt_get(p.format->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &icy) >= 0 && icy) {
    const std::string block(reinterpret_cast<const char*>(icy));
    av_free(icy);
    if (block.empty() || block == lastIcy_) return;
    lastIcy_ = block;
    if (auto t = IcyStreamTitle(block)) title = *t;
  } else if (p.stream >= 0) {
    // Ogg and FLAC carry the title as comments, updated in the stream.
    AVStream* s = p.format->streams[p.stream];
    AVDictionary* meta = nullptr;
    if (s->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) {
      s->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
      meta = s->metadata;
    } else if (p.format->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) {
      p.format->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
      meta = p.format->metadata;
    }
    if (!meta) return;
    const AVDictionaryEntry* artist = av_dict_get(meta, "artist", nullptr, 0);
    const AVDictionaryEntry* name = av_dict_get(meta, "title", nullptr, 0);
    if (!name) return;
    title = artist ? std::string(artist->value) + " - " + name->value : std::string(name->value);
  } else {
    return;
  }
  if (title == title_) return;
  title_ = title;
  titleNew_ = true;
}

std::string StreamDecoder::TakeTitle() {
  if (!titleNew_) return "";
  titleNew_ = false;
  return title_;
}

bool StreamDecoder::Steer(int delta, int distance) {
  if (!p_->swr || distance <= 0) return false;
  return swr_set_compensation(p_->swr, delta, distance) >= 0;
}

}  // namespace varn

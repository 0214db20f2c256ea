#include "archive/range_extract.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/archive_time.h"
#include "archive/file_access.h"
#include "archive/mp3acm.h"
#include "archive/mpeg_frames.h"
#include "archive/mpeg_header.h"
#include "archive/mpeg_info.h"
#include "archive/wav_file.h"

namespace varn {

namespace {

constexpr int64_t kChunkBytes = 1 << 20;
// Frames decoded ahead of the first one wanted: the decoder needs the frame
// before for its overlap (and a file made with a bit reservoir, a few more).
constexpr int64_t kPrerollFrames = 3;
constexpr int kDefaultKbps = 128;
constexpr int64_t kMaxWavData = 0xFFFFFFFFLL - kWavExtensibleHeaderBytes;

// Milliseconds to samples at `rate`, rounded to the nearest.
int64_t ToFrames(int64_t ms, int rate) {
  const int64_t v = ms * rate;
  return v >= 0 ? (v + 500) / 1000 : -((-v + 500) / 1000);
}

int64_t ToMs(int64_t frames, int rate) {
  const int64_t v = frames * 1000;
  return v >= 0 ? v / rate : -((-v + rate - 1) / rate);
}

int PcmBits(const ArchiveFileEntry& e) { return e.kind == ArchiveKind::Wav ? e.bits : 16; }

int SamplesPerFrame(int rate) {
  const auto v = VersionForRate(rate);
  return v && *v == MpegVersion::Mpeg1 ? 1152 : 576;
}

std::string Describe(const ArchiveFileEntry& e) {
  return e.name + " (" + ArchiveFormatText(e) + ")";
}

struct Span {
  int file;
  int64_t start;  // samples from the range's start
  int64_t end;
};

std::string CheckFormats(const ExtractPlan& plan) {
  const ArchiveFileEntry& ref = plan.files.front();
  for (const ArchiveFileEntry& e : plan.files) {
    if (plan.format == ExtractFormat::Mp3Copy && e.kind != ArchiveKind::Mp3)
      return "--copy copies MP3 frames, and " + e.name + " is a WAV file";
    const bool differs = e.rate != ref.rate || e.channels != ref.channels ||
                         (plan.format == ExtractFormat::Wav && PcmBits(e) != PcmBits(ref)) ||
                         (plan.format == ExtractFormat::Mp3Copy && e.kbps != ref.kbps);
    if (differs)
      return "the archive changes format within the range, from " + Describe(ref) + " to " +
             Describe(e) + ": extract the parts before and after " + WriteLocalTime(e.startMs) +
             " separately";
  }
  return "";
}

// The span that holds frame k, or null in a hole.
const Span* Covering(const std::vector<Span>& spans, int64_t k) {
  for (const Span& s : spans)
    if (s.start <= k && k < s.end) return &s;
  return nullptr;
}

void PlanPcm(ExtractPlan& plan, const std::vector<Span>& spans, int64_t total, int64_t fromMs) {
  const int64_t holeMin = ToFrames(kArchiveHoleMinMs, plan.rate);
  int64_t k = 0;
  while (k < total) {
    const Span* cover = Covering(spans, k);
    if (cover) {
      const int64_t end = std::min(cover->end, total);
      plan.pieces.push_back({cover->file, k - cover->start, end - k, false});
      k = end;
      continue;
    }
    int64_t next = total;
    for (const Span& s : spans)
      if (s.start > k) next = std::min(next, s.start);
    const bool hole = next - k > holeMin;
    plan.pieces.push_back({-1, 0, next - k, hole});
    if (hole)
      plan.holes.push_back({plan.files.front().channel, fromMs + ToMs(k, plan.rate),
                            fromMs + ToMs(next, plan.rate)});
    k = next;
  }
  plan.frames = total;
  plan.startMs = fromMs;
}

void PlanCopy(ExtractPlan& plan, const std::vector<Span>& spans, int64_t total, int64_t fromMs) {
  const int64_t spf = plan.samplesPerFrame;
  const int64_t holeMin = ToFrames(kArchiveHoleMinMs, plan.rate);
  int64_t k = 0;
  std::optional<int64_t> outStart;
  int64_t outFrames = 0;
  while (k < total) {
    const Span* cover = Covering(spans, k);
    if (cover) {
      const int64_t frames = (cover->end - cover->start) / spf;
      const int64_t first = (k - cover->start) / spf;
      const int64_t last = std::min(frames, (total - cover->start + spf - 1) / spf);
      if (!outStart) outStart = cover->start + first * spf;
      plan.pieces.push_back({cover->file, first, last - first, false});
      outFrames += last - first;
      k = cover->start + last * spf;
      continue;
    }
    int64_t next = total;
    for (const Span& s : spans)
      if (s.start > k) next = std::min(next, s.start);
    if (!outStart) outStart = k;
    const int64_t count = (next - k + spf / 2) / spf;
    const bool hole = next - k > holeMin;
    if (count > 0) plan.pieces.push_back({-1, 0, count, hole});
    if (hole)
      plan.holes.push_back({plan.files.front().channel, fromMs + ToMs(k, plan.rate),
                            fromMs + ToMs(next, plan.rate)});
    outFrames += count;
    k = next;
  }
  plan.startMs = fromMs + ToMs(outStart.value_or(0), plan.rate);
  plan.frames = outFrames * spf;
}

}  // namespace

ExtractPlan PlanExtract(const ArchiveCatalog& catalog, const ExtractRequest& request) {
  ExtractPlan plan;
  plan.format = request.format;
  const std::string range = WriteLocalTime(request.fromMs) + " and " + WriteLocalTime(request.toMs);
  if (request.toMs <= request.fromMs) {
    plan.error = "the range is empty: its end is not later than its start";
    return plan;
  }
  for (const ArchiveFileEntry& e :
       FilesInRange(catalog, request.channel, request.fromMs, request.toMs))
    if (e.error.empty() && e.frames > 0) plan.files.push_back(e);
  if (plan.files.empty()) {
    plan.error = "channel " + std::to_string(request.channel) + " has no archive between " + range;
    return plan;
  }
  if (const std::string refusal = CheckFormats(plan); !refusal.empty()) {
    plan.error = refusal;
    return plan;
  }
  const ArchiveFileEntry& ref = plan.files.front();
  plan.rate = ref.rate;
  plan.channels = ref.channels;
  plan.bits = PcmBits(ref);
  if (request.format == ExtractFormat::Mp3) {
    if (plan.channels > 2) {
      plan.error = "MP3 carries one or two channels, and the archive has " +
                   std::to_string(plan.channels) + ": extract to WAV";
      return plan;
    }
    plan.kbps =
        request.kbps > 0 ? request.kbps : (ref.kind == ArchiveKind::Mp3 ? ref.kbps : kDefaultKbps);
    // From WAV sources, the default is the highest rate up to it that MP3
    // has at the sources' sample rate.
    if (request.kbps <= 0 && ref.kind == ArchiveKind::Wav)
      for (const int32_t k : kBitRateCandidates)
        if (k <= kDefaultKbps && CanEncodeMp3(plan.rate, plan.channels, k)) {
          plan.kbps = k;
          break;
        }
    if (!CanEncodeMp3(plan.rate, plan.channels, plan.kbps)) {
      plan.error = "MP3 has no " + std::to_string(plan.kbps) + " kbit/s at " +
                   std::to_string(plan.rate) + " Hz";
      return plan;
    }
  }
  if (request.format == ExtractFormat::Mp3Copy) {
    plan.kbps = ref.kbps;
    plan.samplesPerFrame = SamplesPerFrame(plan.rate);
  }
  std::vector<Span> spans;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const int64_t start = ToFrames(plan.files[i].startMs - request.fromMs, plan.rate);
    spans.push_back({static_cast<int>(i), start, start + plan.files[i].frames});
  }
  const int64_t total = ToFrames(request.toMs - request.fromMs, plan.rate);
  if (request.format == ExtractFormat::Mp3Copy)
    PlanCopy(plan, spans, total, request.fromMs);
  else
    PlanPcm(plan, spans, total, request.fromMs);
  if (!request.fill && !plan.holes.empty()) {
    std::string where;
    for (const ArchiveHole& h : plan.holes)
      where += (where.empty() ? "" : ", ") + WriteLocalTime(h.startMs) + " to " +
               WriteLocalTime(h.endMs);
    plan.error = "the archive has " + std::to_string(plan.holes.size()) +
                 (plan.holes.size() == 1 ? " hole" : " holes") + " in the range (" + where +
                 ") and filling them with silence was refused";
    return plan;
  }
  if (request.format == ExtractFormat::Wav) {
    const int64_t data = plan.frames * plan.channels * (plan.bits / 8);
    if (data > kMaxWavData) {
      plan.error = "a WAV file holds at most 4 GB, and this range needs " +
                   std::to_string(data / 1000000) + " MB: extract to MP3 or a shorter range";
      return plan;
    }
    plan.bytes =
        static_cast<int64_t>(BuildWavHeader(plan.rate, plan.bits, plan.channels, 0).size()) + data;
  }
  return plan;
}

namespace {

// Where the PCM of the pieces goes: straight out as WAV data, or through
// the encoder.
class PcmOutput {
 public:
  PcmOutput(const ExtractPlan& plan, const ExtractEvents& events, ExtractResult& result)
      : plan_(plan), events_(events), result_(result) {}

  bool Start() {
    if (plan_.format == ExtractFormat::Wav) {
      const int64_t data = plan_.frames * plan_.channels * (plan_.bits / 8);
      const auto header =
          BuildWavHeader(plan_.rate, plan_.bits, plan_.channels, static_cast<uint32_t>(data));
      return Out(header.data(), header.size());
    }
    WavInfo info;
    info.SampleRate = plan_.rate;
    info.Channels = static_cast<int16_t>(plan_.channels);
    info.BitsPerSample = 16;
    info.BlockAlign = plan_.channels * 2;
    if (!encoder_.EncInit(plan_.kbps, &info)) return Fail("the MP3 encoder cannot be opened");
    return true;
  }

  // PCM in the given sample size.
  bool Put(const uint8_t* bytes, size_t count, int bits) {
    if (plan_.format == ExtractFormat::Wav) return Out(bytes, count);
    const uint8_t* pcm = bytes;
    if (bits != 16) {
      const size_t step = static_cast<size_t>(bits / 8);
      wide_.resize(count / step * 2);
      for (size_t i = 0, o = 0; i + step <= count; i += step, o += 2) {
        const int16_t v = bits == 8 ? static_cast<int16_t>((bytes[i] - 128) * 256)
                                    : static_cast<int16_t>(bytes[i + 1] | (bytes[i + 2] << 8));
        std::memcpy(&wide_[o], &v, 2);
      }
      pcm = wide_.data();
      count = wide_.size();
    }
    while (count > 0) {
      const int32_t piece = static_cast<int32_t>(std::min<size_t>(count, kChunkBytes));
      int32_t used = 0;
      int32_t produced = 0;
      if (!encoder_.EncProc(pcm, piece, encoded_, used, produced) || used <= 0)
        return Fail("the MP3 encoder failed");
      if (produced > 0 && !Out(encoded_.data(), static_cast<size_t>(produced))) return false;
      pcm += used;
      count -= static_cast<size_t>(used);
    }
    return true;
  }

  bool Silence(int64_t frames) {
    const int bits = plan_.format == ExtractFormat::Wav ? plan_.bits : 16;
    const int64_t block = static_cast<int64_t>(plan_.channels) * (bits / 8);
    const int64_t per = std::min<int64_t>(frames, 65536);
    // 8-bit PCM is unsigned: its silence is 128.
    const std::vector<uint8_t> zeros(static_cast<size_t>(per * block), bits == 8 ? 128 : 0);
    while (frames > 0) {
      const int64_t n = std::min(frames, per);
      if (!Put(zeros.data(), static_cast<size_t>(n * block), bits) || !Progress(n)) return false;
      frames -= n;
    }
    return true;
  }

  bool Finish() {
    if (plan_.format == ExtractFormat::Wav) return true;
    int32_t produced = 0;
    if (!encoder_.EncFlush(encoded_, produced)) return Fail("the MP3 encoder failed");
    return produced <= 0 || Out(encoded_.data(), static_cast<size_t>(produced));
  }

  // Counts frames done and asks whether to go on.
  bool Progress(int64_t frames) {
    done_ += frames;
    if (events_.progress && plan_.frames > 0 &&
        !events_.progress(static_cast<double>(done_) / static_cast<double>(plan_.frames))) {
      result_.canceled = true;
      return false;
    }
    return true;
  }

  bool Fail(const std::string& why) {
    if (result_.error.empty()) result_.error = why;
    return false;
  }

  bool Out(const uint8_t* bytes, size_t count) {
    if (count == 0) return true;
    if (!events_.write(bytes, count)) return Fail("the output could not be written");
    result_.bytes += static_cast<int64_t>(count);
    return true;
  }

 private:
  const ExtractPlan& plan_;
  const ExtractEvents& events_;
  ExtractResult& result_;
  C_mp3acm encoder_;
  std::vector<uint8_t> encoded_;
  std::vector<uint8_t> wide_;
  int64_t done_ = 0;
};

bool CopyWavPiece(const ArchiveFileEntry& e, const ExtractPiece& p, PcmOutput& out) {
  const OpenFile file = OpenForReading(e.path);
  if (!file.IsOpen()) return out.Fail("cannot open " + e.path);
  const int64_t block = static_cast<int64_t>(e.channels) * (e.bits / 8);
  const int64_t framesPerChunk = std::max<int64_t>(1, kChunkBytes / block);
  std::vector<uint8_t> bytes;
  for (int64_t done = 0; done < p.count;) {
    const int64_t n = std::min(framesPerChunk, p.count - done);
    bytes.resize(static_cast<size_t>(n * block));
    if (!ReadOpenFile(file, bytes.data(), n * block, e.dataOffset + (p.first + done) * block))
      return out.Fail("cannot read " + e.path);
    if (!out.Put(bytes.data(), bytes.size(), e.bits) || !out.Progress(n)) return false;
    done += n;
  }
  return true;
}

// The byte range of frames [first, first + count) of an MPEG file.
struct FrameBytes {
  int64_t begin = -1;
  int64_t end = -1;
};
FrameBytes LocateFrames(const OpenFile& file, int64_t first, int64_t count) {
  FrameBytes at;
  int64_t index = 0;
  WalkMpegFrames(file, [&](int64_t offset, int32_t bytes) {
    if (index == first) at.begin = offset;
    if (index >= first) at.end = offset + bytes;
    return ++index < first + count;
  });
  return at;
}

bool DecodeMp3Piece(const ArchiveFileEntry& e, const ExtractPiece& p, PcmOutput& out) {
  const int64_t spf = SamplesPerFrame(e.rate);
  const int64_t frame = p.first / spf;
  const int64_t from = std::max<int64_t>(0, frame - kPrerollFrames);
  int64_t skip = (p.first - from * spf) * e.channels * 2;  // bytes of PCM to drop
  int64_t want = p.count * e.channels * 2;
  const OpenFile file = OpenForReading(e.path);
  MpegInfo info;
  if (!file.IsOpen() || ReadMpegInfo(e.path, info) != 1) return out.Fail("cannot read " + e.path);
  const FrameBytes at = LocateFrames(file, from, (p.first + p.count + spf - 1) / spf - from);
  if (at.begin < 0) return out.Fail("cannot read " + e.path);
  C_mp3acm decoder;
  if (!decoder.DecInit(&info)) return out.Fail("the MP3 decoder cannot be opened");
  std::vector<uint8_t> mpeg;
  std::vector<uint8_t> pcm;
  int64_t pos = at.begin;
  bool drained = false;
  while (want > 0 && !drained) {
    int32_t produced = 0;
    if (pos < at.end) {
      const int64_t n = std::min<int64_t>(64 * 1024, at.end - pos);
      mpeg.resize(static_cast<size_t>(n));
      if (!ReadOpenFile(file, mpeg.data(), n, pos)) return out.Fail("cannot read " + e.path);
      pos += n;
      if (!decoder.DecProc(mpeg.data(), static_cast<int32_t>(n), pcm, produced))
        return out.Fail("cannot decode " + e.path);
    } else {
      drained = true;
      if (!decoder.DecProc(nullptr, 0, pcm, produced)) produced = 0;
    }
    int64_t begin = std::min<int64_t>(skip, produced);
    skip -= begin;
    const int64_t n = std::min(want, produced - begin);
    if (n > 0) {
      if (!out.Put(pcm.data() + begin, static_cast<size_t>(n), 16) ||
          !out.Progress(n / (e.channels * 2)))
        return false;
      want -= n;
    }
  }
  // A file that decodes short of what its frames promise: the rest is silence.
  return want <= 0 || out.Silence(want / (e.channels * 2));
}

// One frame of digital silence in the sources' format, made by the encoder
// (frames are encoded without bit reservoir, so any one stands alone).
std::vector<uint8_t> SilentFrame(const ExtractPlan& plan) {
  C_mp3acm encoder;
  WavInfo info;
  info.SampleRate = plan.rate;
  info.Channels = static_cast<int16_t>(plan.channels);
  info.BitsPerSample = 16;
  info.BlockAlign = plan.channels * 2;
  if (!encoder.EncInit(plan.kbps, &info)) return {};
  const std::vector<uint8_t> zeros(
      static_cast<size_t>(plan.samplesPerFrame * 8 * plan.channels * 2));
  std::vector<uint8_t> encoded;
  std::vector<uint8_t> all;
  int32_t used = 0;
  int32_t produced = 0;
  if (!encoder.EncProc(zeros.data(), static_cast<int32_t>(zeros.size()), encoded, used, produced))
    return {};
  all.assign(encoded.begin(), encoded.begin() + produced);
  size_t pos = 0;
  for (int n = 0; pos + 4 <= all.size(); ++n) {
    const auto h = DecodeFrameHeader(all.data() + pos);
    if (!h || pos + static_cast<size_t>(h->frameBytes) > all.size()) break;
    if (n == 3)
      return std::vector<uint8_t>(all.begin() + static_cast<ptrdiff_t>(pos),
                                  all.begin() + static_cast<ptrdiff_t>(pos) + h->frameBytes);
    pos += static_cast<size_t>(h->frameBytes);
  }
  return {};
}

bool CopyMp3Piece(const ArchiveFileEntry& e, const ExtractPiece& p, PcmOutput& out) {
  const OpenFile file = OpenForReading(e.path);
  if (!file.IsOpen()) return out.Fail("cannot open " + e.path);
  const FrameBytes at = LocateFrames(file, p.first, p.count);
  if (at.begin < 0) return out.Fail("cannot read " + e.path);
  std::vector<uint8_t> bytes;
  const double perByte = static_cast<double>(p.count) / static_cast<double>(at.end - at.begin);
  for (int64_t pos = at.begin; pos < at.end;) {
    const int64_t n = std::min(kChunkBytes, at.end - pos);
    bytes.resize(static_cast<size_t>(n));
    if (!ReadOpenFile(file, bytes.data(), n, pos)) return out.Fail("cannot read " + e.path);
    if (!out.Out(bytes.data(), bytes.size())) return false;
    pos += n;
    if (!out.Progress(static_cast<int64_t>(static_cast<double>(n) * perByte) *
                      SamplesPerFrame(e.rate)))
      return false;
  }
  return true;
}

}  // namespace

ExtractResult RunExtract(const ExtractPlan& plan, const ExtractEvents& events) {
  ExtractResult result;
  if (!plan.error.empty()) {
    result.error = plan.error;
    return result;
  }
  PcmOutput out(plan, events, result);
  if (plan.format != ExtractFormat::Mp3Copy && !out.Start()) return result;
  std::vector<uint8_t> silentFrame;
  size_t holeIndex = 0;
  for (const ExtractPiece& p : plan.pieces) {
    bool ok = true;
    if (p.file < 0) {
      if (p.hole && events.hole && holeIndex < plan.holes.size())
        events.hole(plan.holes[holeIndex]);
      if (p.hole) ++holeIndex;
      if (plan.format != ExtractFormat::Mp3Copy) {
        ok = out.Silence(p.count);
      } else {
        if (silentFrame.empty()) silentFrame = SilentFrame(plan);
        if (silentFrame.empty()) ok = out.Fail("the MP3 encoder cannot make a silent frame");
        for (int64_t i = 0; ok && i < p.count; ++i)
          ok =
              out.Out(silentFrame.data(), silentFrame.size()) && out.Progress(plan.samplesPerFrame);
      }
    } else {
      const ArchiveFileEntry& e = plan.files[static_cast<size_t>(p.file)];
      if (plan.format == ExtractFormat::Mp3Copy)
        ok = CopyMp3Piece(e, p, out);
      else if (e.kind == ArchiveKind::Wav)
        ok = CopyWavPiece(e, p, out);
      else
        ok = DecodeMp3Piece(e, p, out);
    }
    if (!ok) {
      if (result.canceled) result.error = "canceled";
      return result;
    }
  }
  if (plan.format != ExtractFormat::Mp3Copy && !out.Finish()) return result;
  result.ok = true;
  return result;
}

}  // namespace varn

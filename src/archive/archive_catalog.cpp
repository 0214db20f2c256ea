#include "archive/archive_catalog.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "archive/archive_time.h"
#include "archive/file_access.h"
#include "archive/mpeg_frames.h"
#include "archive/wav_file.h"

namespace varn {

namespace fs = std::filesystem;

namespace {

struct NameParts {
  DateTime local;
  int suffix = 0;
  ArchiveKind kind = ArchiveKind::Wav;
};

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int ToInt(std::string_view s) {
  int v = 0;
  for (const char c : s) v = v * 10 + (c - '0');
  return v;
}

std::optional<NameParts> ParseName(std::string_view name) {
  NameParts parts;
  if (name.size() < 18) return std::nullopt;
  const std::string_view ext = name.substr(name.size() - 4);
  if (ext == ".wav")
    parts.kind = ArchiveKind::Wav;
  else if (ext == ".mp3")
    parts.kind = ArchiveKind::Mp3;
  else
    return std::nullopt;
  const std::string_view base = name.substr(0, name.size() - 4);
  const std::string_view stem = base.substr(0, 14);
  if (!AllDigits(stem)) return std::nullopt;
  if (base.size() > 14) {
    const std::string_view rest = base.substr(14);
    if (rest.size() < 2 || rest.size() > 6 || rest[0] != '_' || !AllDigits(rest.substr(1)) ||
        rest[1] == '0')
      return std::nullopt;
    parts.suffix = ToInt(rest.substr(1));
  }
  DateTime& t = parts.local;
  t.year = ToInt(stem.substr(0, 4));
  t.month = ToInt(stem.substr(4, 2));
  t.day = ToInt(stem.substr(6, 2));
  t.hour = ToInt(stem.substr(8, 2));
  t.minute = ToInt(stem.substr(10, 2));
  t.second = ToInt(stem.substr(12, 2));
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59)
    return std::nullopt;
  return parts;
}

std::optional<int> ChannelOfFolder(std::string_view name) {
  if (name.size() < 3 || name.size() > 4 || name.substr(0, 2) != "ch" ||
      !AllDigits(name.substr(2)) || name[2] == '0')
    return std::nullopt;
  return ToInt(name.substr(2));
}

// True when a RIFF chunk (four printable letters and a size that fits in
// the file) starts at `offset`.
bool ChunkAt(const std::string& path, int64_t offset, int64_t fileSize) {
  uint8_t head[8];
  if (offset + 8 > fileSize || !ReadFileBytes(head, 8, offset, path)) return false;
  for (int i = 0; i < 4; ++i)
    if (head[i] < 0x20 || head[i] > 0x7E) return false;
  const int64_t size = int64_t{head[4]} | (int64_t{head[5]} << 8) | (int64_t{head[6]} << 16) |
                       (int64_t{head[7]} << 24);
  return offset + 8 + size <= fileSize;
}

void MeasureWav(ArchiveFileEntry& e) {
  constexpr int kExtensible = 0xFFFE;
  const WavInfo info = ReadWavInfo(e.path);
  if (!info.Valid || (info.FormatTag != 1 && info.FormatTag != kExtensible) ||
      info.BlockAlign <= 0) {
    e.error = "not a PCM WAV file";
    return;
  }
  e.rate = info.SampleRate;
  e.channels = info.Channels;
  e.bits = info.BitsPerSample;
  // What is really there counts: the data size in the header overstates a
  // file cut short, and lags behind one still being written (unless a chunk
  // follows the data, the file's end is the data's end).
  const int64_t present = std::max<int64_t>(0, info.FileSize - info.DataOffset);
  int64_t bytes = present;
  if (info.DataSize > 0 && info.DataSize < present &&
      ChunkAt(e.path, info.DataOffset + info.DataSize + (info.DataSize & 1), info.FileSize))
    bytes = info.DataSize;
  e.frames = bytes / info.BlockAlign;
  e.dataOffset = info.DataOffset;
}

void MeasureMp3(ArchiveFileEntry& e) {
  const OpenFile file = OpenForReading(e.path);
  if (!file.IsOpen()) {
    e.error = "cannot be opened";
    return;
  }
  const MpegFrameWalk walk = CountMpegFrames(file);
  if (!walk.error.empty()) {
    e.error = walk.error;
    return;
  }
  e.rate = walk.first.rate;
  e.channels = walk.first.channelMode == 3 ? 1 : 2;
  e.kbps = walk.first.kbps;
  e.frames = walk.frames * walk.first.samplesPerFrame;
  e.dataOffset = walk.firstAudio < 0 ? walk.end : walk.firstAudio;
}

bool Overlaps(const ArchiveFileEntry& a, const ArchiveFileEntry& b) {
  // A second of slack: a restart within the same second starts a new file
  // where the last one ended.
  return a.startMs + 1000 < b.EndMs() && b.startMs + 1000 < a.EndMs();
}

// Places the channel's files in time; `names` are their name parts, in the
// same order as `files`.
void PlaceChannel(std::vector<ArchiveFileEntry>& files, const std::vector<NameParts>& names) {
  std::vector<size_t> open;  // names in the repeated hour, not yet placed
  std::vector<bool> placed(files.size(), false);
  for (size_t i = 0; i < files.size(); ++i) {
    const LocalInstants at = ResolveLocalTime(names[i].local);
    if (at.count == 0) {
      // Not a name the writer makes on this machine's zone; read with the
      // offset in force an hour before.
      const int64_t naive = EpochMsFromDateTime(names[i].local);
      files[i].startMs = naive - static_cast<int64_t>(LocalUtcOffset(naive - 7200000)) * 1000;
      placed[i] = true;
      continue;
    }
    files[i].startMs = at.first;
    if (at.count == 1) {
      placed[i] = true;
      continue;
    }
    files[i].repeatedHour = true;
    bool hasSuffixedTwin = false;
    bool hasPlainTwin = false;
    for (size_t j = 0; j < files.size(); ++j) {
      if (j == i || files[j].kind != files[i].kind) continue;
      if (files[j].name.substr(0, 14) != files[i].name.substr(0, 14)) continue;
      hasSuffixedTwin = hasSuffixedTwin || names[j].suffix > 0;
      hasPlainTwin = hasPlainTwin || names[j].suffix == 0;
    }
    if (names[i].suffix == 0 && hasSuffixedTwin) {
      placed[i] = true;
    } else if (names[i].suffix > 0 && hasPlainTwin) {
      files[i].startMs = at.second;
      placed[i] = true;
    } else {
      open.push_back(i);
    }
  }
  for (const size_t i : open) {
    const LocalInstants at = ResolveLocalTime(names[i].local);
    for (size_t j = 0; j < files.size(); ++j) {
      if (j != i && placed[j] && Overlaps(files[i], files[j])) {
        files[i].startMs = at.second;
        break;
      }
    }
    placed[i] = true;
  }
}

}  // namespace

bool IsArchiveFileName(std::string_view name) { return ParseName(name).has_value(); }

void MeasureArchiveFile(ArchiveFileEntry& e) {
  std::error_code ec;
  const auto size = fs::file_size(e.path, ec);
  e.size = ec ? 0 : static_cast<int64_t>(size);
  if (e.kind == ArchiveKind::Wav)
    MeasureWav(e);
  else
    MeasureMp3(e);
}

std::string ArchiveFormatText(const ArchiveFileEntry& e) {
  if (!e.error.empty() || e.rate <= 0) return e.kind == ArchiveKind::Wav ? "wav" : "mp3";
  std::string text = (e.kind == ArchiveKind::Wav ? "wav " : "mp3 ") + std::to_string(e.rate) +
                     "Hz " + std::to_string(e.channels) + "ch ";
  text +=
      e.kind == ArchiveKind::Wav ? std::to_string(e.bits) + "bit" : std::to_string(e.kbps) + "kbps";
  return text;
}

ArchiveCatalog ScanArchive(const std::string& dataFolder, std::optional<int> channel,
                           std::optional<ArchiveWindow> window) {
  constexpr int64_t kBefore = 36 * 3600000LL;
  constexpr int64_t kAfter = 15 * 3600000LL;
  ArchiveCatalog catalog;
  std::map<int, fs::path> folders;
  std::error_code ec;
  for (fs::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const auto ch = ChannelOfFolder(it->path().filename().string());
    std::error_code dirEc;
    if (ch && (!channel || *ch == *channel) && it->is_directory(dirEc)) folders[*ch] = it->path();
  }
  for (const auto& [ch, folder] : folders) {
    catalog.channels.push_back(ch);
    std::vector<ArchiveFileEntry> files;
    std::vector<NameParts> names;
    std::error_code listEc;
    for (fs::directory_iterator it(folder, listEc), end; !listEc && it != end;
         it.increment(listEc)) {
      const std::string name = it->path().filename().string();
      const auto parts = ParseName(name);
      std::error_code typeEc;
      if (!parts || !it->is_regular_file(typeEc)) continue;
      if (window) {
        const int64_t named = EpochMsFromDateTime(parts->local);
        if (named + kBefore < window->fromMs || named - kAfter > window->toMs) continue;
      }
      ArchiveFileEntry e;
      e.channel = ch;
      e.path = it->path().string();
      e.name = name;
      e.suffix = parts->suffix;
      e.kind = parts->kind;
      MeasureArchiveFile(e);
      files.push_back(std::move(e));
      names.push_back(*parts);
    }
    PlaceChannel(files, names);
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      if (files[a].startMs != files[b].startMs) return files[a].startMs < files[b].startMs;
      return files[a].name < files[b].name;
    });
    int64_t lastEnd = 0;
    bool any = false;
    for (const size_t i : order) {
      const ArchiveFileEntry& e = files[i];
      catalog.files.push_back(e);
      // An unreadable file's audio is unknown: the hole runs past it.
      if (!e.error.empty()) continue;
      if (any && e.startMs - lastEnd > kArchiveHoleMinMs)
        catalog.holes.push_back({ch, lastEnd, e.startMs});
      lastEnd = any ? std::max(lastEnd, e.EndMs()) : e.EndMs();
      any = true;
    }
  }
  return catalog;
}

std::vector<ArchiveFileEntry> FilesInRange(const ArchiveCatalog& catalog, int channel,
                                           int64_t fromMs, int64_t toMs) {
  std::vector<ArchiveFileEntry> out;
  for (const auto& e : catalog.files)
    if (e.channel == channel && e.startMs < toMs && e.EndMs() > fromMs) out.push_back(e);
  return out;
}

std::vector<ArchiveHole> HolesInRange(const ArchiveCatalog& catalog, int channel, int64_t fromMs,
                                      int64_t toMs) {
  std::vector<ArchiveHole> out;
  for (const auto& h : catalog.holes)
    if (h.channel == channel && h.startMs < toMs && h.endMs > fromMs) out.push_back(h);
  return out;
}

}  // namespace varn

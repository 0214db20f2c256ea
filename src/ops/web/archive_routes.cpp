#include "ops/web/archive_routes.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "archive/archive_time.h"
#include "archive/range_extract.h"
#include "ops/web/byte_range.h"
#include "ops/web/extract_stream.h"

namespace varn {

namespace {

constexpr std::string_view kJson = "application/json";
// The longest range one request may cut.
constexpr int64_t kMaxExtractMs = 24LL * 3600 * 1000;

int Send(MHD_Connection* c, unsigned status, MHD_Response* r) {
  if (!r) return MHD_NO;
  const MHD_Result result = MHD_queue_response(c, status, r);
  MHD_destroy_response(r);
  return result;
}

int Text(MHD_Connection* c, unsigned status, std::string_view body, std::string_view type) {
  MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                    MHD_RESPMEM_MUST_COPY);
  if (!r) return MHD_NO;
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, std::string(type).c_str());
  MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  return Send(c, status, r);
}

int Error(MHD_Connection* c, unsigned status, const std::string& what) {
  return Text(c, status, nlohmann::json{{"error", what}}.dump(), kJson);
}

int NotFound(MHD_Connection* c) {
  return Text(c, MHD_HTTP_NOT_FOUND, "Not found\n", "text/plain; charset=utf-8");
}

const char* Argument(MHD_Connection* c, const char* name) {
  const char* v = MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, name);
  return v && *v ? v : nullptr;
}

int ChannelOf(const char* text) {
  return text && text[0] >= '1' && text[0] <= '8' && text[1] == 0 ? text[0] - '0' : 0;
}

// A time argument; false (with `error`) when it is given but cannot be read.
bool TimeArgument(MHD_Connection* c, const char* name, std::optional<int64_t>& out,
                  std::string& error) {
  const char* text = Argument(c, name);
  if (!text) return true;
  const ArchiveTimeRead read = ReadArchiveTime(text);
  if (!read.error.empty()) {
    error = std::string(name) + ": " + read.error;
    return false;
  }
  out = read.epochMs;
  return true;
}

std::string HttpDate(time_t t) {
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return text;
}

const char* MediaType(ArchiveKind kind) {
  return kind == ArchiveKind::Wav ? "audio/wav" : "audio/mpeg";
}

// Whether `path` really lies inside `folder` once every link is followed.
bool Inside(const std::string& path, const std::string& folder) {
  char realPath[PATH_MAX];
  char realFolder[PATH_MAX];
  if (!realpath(path.c_str(), realPath) || !realpath(folder.c_str(), realFolder)) return false;
  const std::string p(realPath);
  std::string f(realFolder);
  if (f.back() != '/') f += '/';
  return p.starts_with(f);
}

std::string StampText(int64_t ms) {
  // "20261208-140000": for a download's name.
  const std::string local = WriteLocalTime(ms);
  std::string out;
  for (char ch : local.substr(0, 19))
    if (ch >= '0' && ch <= '9') out += ch;
  return out.size() == 14 ? out.substr(0, 8) + "-" + out.substr(8) : out;
}

}  // namespace

ArchiveCatalog ArchiveRoutes::Listing(const std::string& dataFolder, int channel,
                                      std::optional<ArchiveWindow> window) {
  const auto now = std::chrono::steady_clock::now();
  const auto key = std::make_tuple(dataFolder, channel, window ? window->fromMs : INT64_MIN,
                                   window ? window->toMs : INT64_MAX);
  {
    std::lock_guard lock(mutex_);
    auto it = scans_.find(key);
    if (it != scans_.end() &&
        now - it->second.at < std::chrono::duration<double>(kArchiveListingSec))
      return it->second.catalog;
  }
  // Scanned outside the lock: a slow disk holds up this request alone.
  ArchiveCatalog catalog = ScanArchive(dataFolder, channel, window);
  std::lock_guard lock(mutex_);
  if (scans_.size() > 64) scans_.clear();  // many ranges asked for: start afresh
  scans_[key] = Scan{now, catalog};
  return catalog;
}

int ArchiveRoutes::List(MHD_Connection* c, const std::string& dataFolder) {
  const int channel = ChannelOf(Argument(c, "channel"));
  if (channel == 0) return Error(c, MHD_HTTP_BAD_REQUEST, "channel must be 1 to 8");
  std::optional<int64_t> from;
  std::optional<int64_t> to;
  std::string error;
  if (!TimeArgument(c, "from", from, error) || !TimeArgument(c, "to", to, error))
    return Error(c, MHD_HTTP_BAD_REQUEST, error);
  if (from && to && *to <= *from) return Error(c, MHD_HTTP_BAD_REQUEST, "to must be after from");
  std::optional<ArchiveWindow> window;
  if (from || to) window = ArchiveWindow{from.value_or(INT64_MIN / 2), to.value_or(INT64_MAX / 2)};
  const ArchiveCatalog catalog = Listing(dataFolder, channel, window);
  const int64_t lo = from.value_or(INT64_MIN / 2);
  const int64_t hi = to.value_or(INT64_MAX / 2);
  nlohmann::json files = nlohmann::json::array();
  for (const ArchiveFileEntry& f : FilesInRange(catalog, channel, lo, hi)) {
    files.push_back({{"name", f.name},
                     {"url", "/archive/ch" + std::to_string(channel) + "/" + f.name},
                     {"start", WriteLocalTime(f.startMs)},
                     {"end", WriteLocalTime(f.EndMs())},
                     {"startMs", f.startMs},
                     {"lengthMs", f.LengthMs()},
                     {"format", f.error.empty() ? ArchiveFormatText(f) : ""},
                     {"size", f.size},
                     {"error", f.error}});
  }
  nlohmann::json holes = nlohmann::json::array();
  for (const ArchiveHole& h : HolesInRange(catalog, channel, lo, hi))
    holes.push_back({{"start", WriteLocalTime(h.startMs)},
                     {"end", WriteLocalTime(h.endMs)},
                     {"startMs", h.startMs},
                     {"endMs", h.endMs}});
  const nlohmann::json body{{"channel", channel}, {"files", files}, {"holes", holes}};
  return Text(c, MHD_HTTP_OK, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
              kJson);
}

int ArchiveRoutes::Extract(MHD_Connection* c, const std::string& dataFolder) {
  const int channel = ChannelOf(Argument(c, "channel"));
  if (channel == 0) return Error(c, MHD_HTTP_BAD_REQUEST, "channel must be 1 to 8");
  std::optional<int64_t> from;
  std::optional<int64_t> to;
  std::string error;
  if (!TimeArgument(c, "from", from, error) || !TimeArgument(c, "to", to, error))
    return Error(c, MHD_HTTP_BAD_REQUEST, error);
  if (!from || !to) return Error(c, MHD_HTTP_BAD_REQUEST, "from and to are needed");
  if (*to <= *from) return Error(c, MHD_HTTP_BAD_REQUEST, "to must be after from");
  if (*to - *from > kMaxExtractMs)
    return Error(c, MHD_HTTP_BAD_REQUEST, "a range of at most 24 hours");
  ExtractRequest request;
  request.channel = channel;
  request.fromMs = *from;
  request.toMs = *to;
  const std::string format = Argument(c, "format") ? Argument(c, "format") : "wav";
  if (format == "wav")
    request.format = ExtractFormat::Wav;
  else if (format == "mp3")
    request.format = ExtractFormat::Mp3;
  else if (format == "mp3copy")
    request.format = ExtractFormat::Mp3Copy;
  else
    return Error(c, MHD_HTTP_BAD_REQUEST, "format must be wav, mp3 or mp3copy");
  const char* download = Argument(c, "download");
  if (download && std::string_view(download) != "1" && std::string_view(download) != "0")
    return Error(c, MHD_HTTP_BAD_REQUEST, "download must be 0 or 1");

  ExtractPlan plan = PlanExtract(Listing(dataFolder, channel, ArchiveWindow{*from, *to}), request);
  if (!plan.error.empty()) return Error(c, MHD_HTTP_NOT_FOUND, plan.error);
  if (!TakeExtractionSlot(extracting_)) {
    MHD_Response* r = MHD_create_response_from_buffer(
        30, const_cast<char*>("{\"error\":\"extractions busy\"}\n"), MHD_RESPMEM_PERSISTENT);
    if (!r) return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
    MHD_add_response_header(r, MHD_HTTP_HEADER_RETRY_AFTER, "5");
    return Send(c, MHD_HTTP_SERVICE_UNAVAILABLE, r);
  }
  const bool wav = plan.format == ExtractFormat::Wav;
  const std::string name = "ch" + std::to_string(channel) + "_" + StampText(plan.startMs) + "_" +
                           StampText(*to) + (wav ? ".wav" : ".mp3");
  MHD_Response* r = ExtractResponse(std::move(plan), extracting_);
  if (!r) return MHD_NO;
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, wav ? "audio/wav" : "audio/mpeg");
  MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_DISPOSITION,
                          ((download && download[0] == '1' ? "attachment" : "inline") +
                           std::string("; filename=\"") + name + "\"")
                              .c_str());
  return Send(c, MHD_HTTP_OK, r);
}

int ArchiveRoutes::File(MHD_Connection* c, std::string_view url, const std::string& dataFolder) {
  // "/archive/chN/NAME", nothing more and nothing less.
  constexpr std::string_view kPrefix = "/archive/ch";
  if (!url.starts_with(kPrefix) || url.size() < kPrefix.size() + 3) return NotFound(c);
  const char digit = url[kPrefix.size()];
  if (digit < '1' || digit > '8' || url[kPrefix.size() + 1] != '/') return NotFound(c);
  const int channel = digit - '0';
  const std::string_view name = url.substr(kPrefix.size() + 2);
  if (!IsArchiveFileName(name)) return NotFound(c);
  // The name is the file's local start time: only its neighbours are read.
  const std::string digits(name.substr(0, 14));
  const ArchiveTimeRead start = ReadArchiveTime(
      digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + " " +
      digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2));
  if (!start.error.empty()) return NotFound(c);
  const ArchiveCatalog catalog =
      Listing(dataFolder, channel, ArchiveWindow{start.epochMs, start.epochMs + 1});
  const ArchiveFileEntry* entry = nullptr;
  for (const ArchiveFileEntry& f : catalog.files)
    if (f.channel == channel && f.name == name && f.error.empty()) entry = &f;
  if (!entry || !Inside(entry->path, dataFolder)) return NotFound(c);

  const int fd = open(entry->path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return NotFound(c);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return NotFound(c);
  }
  const int64_t size = st.st_size;
  const std::string etag = "\"" + std::to_string(size) + "-" + std::to_string(st.st_mtim.tv_sec) +
                           "." + std::to_string(st.st_mtim.tv_nsec / 1000000) + "\"";
  const std::string modified = HttpDate(st.st_mtim.tv_sec);
  const char* match =
      MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
  const auto common = [&](MHD_Response* r) {
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, MediaType(entry->kind));
    MHD_add_response_header(r, MHD_HTTP_HEADER_ETAG, etag.c_str());
    MHD_add_response_header(r, MHD_HTTP_HEADER_LAST_MODIFIED, modified.c_str());
    MHD_add_response_header(r, MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
    MHD_add_response_header(r, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
  };
  if (match && etag == match) {
    close(fd);
    MHD_Response* r = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!r) return MHD_NO;
    common(r);
    return Send(c, MHD_HTTP_NOT_MODIFIED, r);
  }
  // A range asked for a file that changed since (If-Range) gets it whole.
  const char* ifRange = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_RANGE);
  const char* rangeHeader = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
  if (ifRange && etag != ifRange && modified != ifRange) rangeHeader = nullptr;
  const ByteRangeRead range = ReadByteRange(rangeHeader, size);
  if (range.kind == ByteRangeRead::Unsatisfiable) {
    close(fd);
    MHD_Response* r = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (!r) return MHD_NO;
    common(r);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_RANGE,
                            ("bytes */" + std::to_string(size)).c_str());
    return Send(c, MHD_HTTP_RANGE_NOT_SATISFIABLE, r);
  }
  MHD_Response* r = MHD_create_response_from_fd_at_offset64(static_cast<uint64_t>(range.length), fd,
                                                            static_cast<uint64_t>(range.first));
  if (!r) {
    close(fd);
    return MHD_NO;
  }
  common(r);
  if (range.kind == ByteRangeRead::Part) {
    MHD_add_response_header(
        r, MHD_HTTP_HEADER_CONTENT_RANGE,
        ("bytes " + std::to_string(range.first) + "-" +
         std::to_string(range.first + range.length - 1) + "/" + std::to_string(size))
            .c_str());
    return Send(c, MHD_HTTP_PARTIAL_CONTENT, r);
  }
  return Send(c, MHD_HTTP_OK, r);
}

}  // namespace varn

#pragma once
// The archive through the listener: /api/v1/archive (the listing with its
// holes), /api/v1/extract (a time range as audio, streamed) and
// /archive/chN/FILE (one file the listing names, with byte ranges). A path
// the listing does not name, or one that leads out of the data folder
// (a symbolic link), is 404 whatever its spelling.

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>

#include "archive/archive_catalog.h"

struct MHD_Connection;

namespace varn {

// A listing is scanned again after this long (a new file, a finished hour).
inline constexpr double kArchiveListingSec = 5.0;

class ArchiveRoutes {
 public:
  // Any connection's thread; `dataFolder` as the program publishes it.
  int List(MHD_Connection* connection, const std::string& dataFolder);
  int Extract(MHD_Connection* connection, const std::string& dataFolder);
  int File(MHD_Connection* connection, std::string_view url, const std::string& dataFolder);

 private:
  // The catalogue of `channel`, only what may touch `window` when given
  // (a long archive is not read whole for an hour of it).
  ArchiveCatalog Listing(const std::string& dataFolder, int channel,
                         std::optional<ArchiveWindow> window);

  struct Scan {
    std::chrono::steady_clock::time_point at;
    ArchiveCatalog catalog;
  };
  std::mutex mutex_;
  std::map<std::tuple<std::string, int, int64_t, int64_t>, Scan> scans_;
  std::atomic<int> extracting_{0};
};

}  // namespace varn

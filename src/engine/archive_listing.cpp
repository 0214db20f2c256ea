#include "engine/archive_listing.h"

#include <algorithm>

#include "archive/archive_catalog.h"

namespace varn {

std::vector<SweepFile> ListArchiveFiles(const std::string& dataFolder) {
  std::vector<SweepFile> files;
  const ArchiveCatalog catalog = ScanArchive(dataFolder);
  files.reserve(catalog.files.size());
  for (const ArchiveFileEntry& e : catalog.files) {
    SweepFile f;
    f.path = e.path;
    f.channel = e.channel - 1;
    f.start = static_cast<double>(e.startMs) / 1000.0;
    f.end = static_cast<double>(e.EndMs()) / 1000.0;
    f.bytes = static_cast<uint64_t>(std::max<int64_t>(e.size, 0));
    files.push_back(std::move(f));
  }
  return files;
}

}  // namespace varn

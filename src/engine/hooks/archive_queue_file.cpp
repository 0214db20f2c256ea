#include "engine/hooks/archive_queue_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "settings/settings_file_safety.h"
#include "util/text.h"
#include "util/text_file.h"

namespace varn {

namespace {

namespace fs = std::filesystem;

constexpr size_t kQueueFileLimit = 4u << 20;
constexpr int kChannels = 8;

bool Inside(const fs::path& file, const fs::path& folder) {
  const fs::path rel = file.lexically_relative(folder);
  return !rel.empty() && rel != "." && *rel.begin() != "..";
}

}  // namespace

ArchiveQueue ReadArchiveQueue(const std::string& path, const std::string& dataFolder) {
  ArchiveQueue queue;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT)
      queue.notes.push_back("ArchiveCommand queue not taken: cannot check " + path + ": " +
                            std::strerror(errno));
    return queue;
  }
  std::string refusal =
      S_ISREG(st.st_mode) ? SettingsFileRefusal(path) : path + " is not a regular file";
  std::optional<std::string> text;
  if (refusal.empty()) {
    text = ReadWholeFile(path, kQueueFileLimit);
    if (!text) refusal = "cannot read " + path;
  }
  if (!refusal.empty()) {
    queue.notes.push_back("ArchiveCommand queue not taken: " + refusal +
                          " (whoever can write it could choose what the archive hook sends)");
    return queue;
  }
  queue.text = *text;
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(fs::absolute(dataFolder, ec), ec);
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    const std::string line = TrimBlanks(text->substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    const fs::path file = fs::weakly_canonical(fs::path(line), ec);
    if (!fs::path(line).is_absolute() || ec || !Inside(file, folder)) {
      queue.notes.push_back("ArchiveCommand queue: " + line + " is not inside the data folder " +
                            folder.string() + "; not run");
      continue;
    }
    if (!fs::is_regular_file(file, ec)) {
      queue.notes.push_back("ArchiveCommand queue: " + line + " no longer exists; not run");
      continue;
    }
    queue.paths.push_back(line);
  }
  return queue;
}

int ArchiveFileChannel(const std::string& path) {
  const std::string folder = fs::path(path).parent_path().filename().string();
  if (folder.size() != 3 || !folder.starts_with("ch")) return -1;
  const int n = folder[2] - '0';
  return n >= 1 && n <= kChannels ? n - 1 : -1;
}

}  // namespace varn

#include "archive/record_path.h"

#include "archive/file_access.h"
#include "log/event_log.h"
#include "settings/folders.h"

namespace varn {

namespace {
// Far more than a second can ever need; past it the last name is returned
// and the write that follows reports the trouble.
constexpr int kMaxSuffix = 9999;
}  // namespace

std::string MakeRecordPath(int32_t ch, std::string_view dataFolder, std::string_view extension,
                           const Clock& clock) {
  return MakeRecordPath(ch, dataFolder, extension, clock.Now());
}

std::string MakeRecordPath(int32_t ch, std::string_view dataFolder, std::string_view extension,
                           const ClockReading& at) {
  const std::string folder = NormaliseFolder(dataFolder, false) + "ch" + std::to_string(ch + 1);
  // A folder that cannot be made shows up later as failed writes too; the
  // reason is only known here.
  if (const std::string error = CreateFolderError(folder); !error.empty())
    WriteLogLine("MakeRecordPath err folder=" + folder + " (" + error + ")", true);
  const std::string stem =
      NormaliseFolder(folder, false) +
      GetDateTimeText(at, DateTimeStyle::Compact, DateTimeParts::DateAndTime);
  std::string path = stem + std::string(extension);
  for (int n = 1; n <= kMaxSuffix && FileExists(path); ++n)
    path = stem + "_" + std::to_string(n) + std::string(extension);
  return path;
}

}  // namespace varn

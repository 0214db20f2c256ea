#pragma once
// The archive hook's queue file in the data folder: the files whose archive
// run had not ended when the last run of the program stopped, one absolute
// path a line, in closing order. Whoever can write it chooses what the
// archive hook sends, so it is taken only on the terms of the settings file
// (owned by the user running varn or root, writable by nobody else), and
// only paths of files inside the data folder.

#include <string>
#include <vector>

namespace varn {

struct ArchiveQueue {
  std::string text;                // the file as it was read ("" when there is none)
  std::vector<std::string> paths;  // the files to run the hook for, in order
  std::vector<std::string> notes;  // diagnostics lines: what was refused, and why
};

// Reads the queue file `path`; every path of it must name a file inside
// `dataFolder` that still exists.
ArchiveQueue ReadArchiveQueue(const std::string& path, const std::string& dataFolder);

// The 0-based channel of an archive file ("…/ch3/20260314102000.wav" is 2),
// or -1 when its folder names none.
int ArchiveFileChannel(const std::string& path);

}  // namespace varn

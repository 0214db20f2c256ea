#pragma once
// The sweeps' view of the archive catalogue: every file the program made in
// the chN folders, with its start and end in Unix seconds. A file whose
// content cannot be read ends where it starts: retention still ages it by
// its name.

#include <string>
#include <vector>

#include "archive/archive_sweep.h"

namespace varn {

std::vector<SweepFile> ListArchiveFiles(const std::string& dataFolder);

}  // namespace varn

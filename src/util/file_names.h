#pragma once
// Splitting file paths, forcing an extension and recognising the reserved
// device names. Paths use "/" as the folder separator.

#include <string>
#include <string_view>

namespace varn {

struct PathParts {
  bool folder = false;
  bool separator = false;
  bool base = false;
  bool dot = false;
  bool extension = false;
};

enum class CaseMode { Keep = 0, Lower = 1, Upper = 2 };

// The selected parts of `path`, in the order folder, separator, base, dot,
// extension. The separator is added when asked for, found or not.
std::string SplitPath(std::string_view path, PathParts want, CaseMode caseMode = CaseMode::Keep);

// `fileName` with `extension` appended unless it already ends in it (case
// ignored); the appended extension is lower-cased.
std::string EnsureExtension(std::string_view fileName, std::string_view extension);

// True for CON, PRN, AUX, NUL, CLOCK$, COM0..COM9 and LPT0..LPT9 as base name.
bool IsReservedDeviceName(std::string_view path);

}  // namespace varn

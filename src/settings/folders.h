#pragma once
// The program's folders: where the program lives, folder paths with and
// without a trailing separator, and folder creation. None of these throws;
// a failure gives false or "".

#include <string>
#include <string_view>

namespace varn {

// The program folder, always ending in "/". It is the folder of the
// executable unless SetAppFolder put it elsewhere (--app-folder).
std::string AppFolder();
void SetAppFolder(std::string_view folder);
// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// The program's title, the leading part of the settings and log file names.
inline constexpr std::string_view kAppTitle = "varn";

// The path with one trailing separator added (removeSeparator false) or
// removed (true). Blank text gives "".
std::string NormaliseFolder(std::string_view path, bool removeSeparator);

bool FolderExists(std::string_view path);
// Creates exactly one folder; false when it exists already or the parent is missing.
bool MakeFolder(std::string_view path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool EnsureFolder(std::string_view path);
// Trims blanks at both ends, then cuts the text before its first NUL.
std::string CutAtNull(std::string_view text);

bool RegularFileExists(std::string_view path);

}  // namespace varn

#pragma once
// The program's folders: where the program lives, folder paths with and
// without a trailing separator, and folder creation. None of these throws;
// a failure gives false or "".

#include <string>
#include <string_view>

namespace varn {

// The program folder, always ending in "/". SetAppFolder puts it anywhere
// (--app-folder); otherwise it is DefaultAppFolder for this process, created
// when missing.
std::string AppFolder();
void SetAppFolder(std::string_view folder);
// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();

// What the default program folder depends on.
struct AppFolderFacts {
  std::string executableFolder;
  bool executableFolderWritable = true;
  std::string xdgDataHome;  // "" when unset
  std::string home;         // "" when unset
};
// The executable's folder, unless the program is installed (IsInstalledFolder,
// or a folder the running user cannot write): then
// ${XDG_DATA_HOME:-$HOME/.local/share}/varnaudio/, so an installed program
// never writes beside its executable. Without either variable it stays the
// executable's folder. Always ends in "/".
std::string DefaultAppFolder(const AppFolderFacts& facts);
// True for a folder inside a folder named "usr" (/usr/bin, /usr/local/bin, an
// unpacked package tree): where packages put programs, never data.
bool IsInstalledFolder(std::string_view folder);
// True when the running process can create a file in the folder, found by
// trying (leaves nothing behind).
bool FolderWritable(std::string_view folder);
// The facts of this process: its executable and its environment.
AppFolderFacts CurrentAppFolderFacts();

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
// The same, saying why not: "" when the folder exists afterwards, else the
// system's reason for the level that could not be made ("Permission
// denied", "Not a directory").
std::string CreateFolderError(std::string_view path);
// CreateFolderError, then a file made in the folder as a try: "" when that
// works, else the system's reason ("Read-only file system"). A full disk
// passes: it may have room later, and the writers wait for it.
std::string WritableFolderError(std::string_view path);
// Trims blanks at both ends, then cuts the text before its first NUL.
std::string CutAtNull(std::string_view text);

bool RegularFileExists(std::string_view path);

}  // namespace varn

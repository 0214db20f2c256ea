#include "settings/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <vector>

#include "util/text.h"

namespace varn {

namespace {
std::string gAppFolder;

// The installed program's folder under the user's data home, named like the
// per-user settings folder.
constexpr std::string_view kUserDataFolderName = "varnaudio";

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

char SeparatorFor(std::string_view path) {
  (void)path;  // web paths and file paths both use "/" here
  return '/';
}
}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string exe(buf.data(), static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

std::string AppFolder() {
  if (gAppFolder.empty()) {
    gAppFolder = DefaultAppFolder(CurrentAppFolderFacts());
    EnsureFolder(gAppFolder);  // the installed program's folder may not exist yet
  }
  return gAppFolder;
}

std::string DefaultAppFolder(const AppFolderFacts& facts) {
  const std::string exeFolder = NormaliseFolder(facts.executableFolder, false);
  if (!IsInstalledFolder(exeFolder) && facts.executableFolderWritable) return exeFolder;
  std::string dataHome;
  // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
  if (facts.xdgDataHome.starts_with('/'))
    dataHome = facts.xdgDataHome;
  else if (!TrimBlanks(facts.home).empty())
    dataHome = NormaliseFolder(facts.home, false) + ".local/share";
  else
    return exeFolder;  // no home at all: nothing better to offer
  return NormaliseFolder(dataHome, false) + std::string(kUserDataFolderName) + "/";
}

bool IsInstalledFolder(std::string_view folder) {
  const std::string path = "/" + NormaliseFolder(folder, false);
  return path.find("/usr/") != std::string::npos;
}

// access() and faccessat(AT_EACCESS) read the permission bits, which root
// passes everywhere short of a read-only mount. Making a file answers the
// question that matters, for every user, mounts, ACLs and security modules
// included. For root that answer is nearly always yes, which is why root
// running from /usr counts as installed by the folder's name alone
// (IsInstalledFolder).
namespace {
// 0 when a file can be made in the folder, else the errno of the try.
int FolderWriteErrno(std::string_view folder) {
  const std::string dir = NormaliseFolder(folder, false);
  if (dir.empty()) return ENOENT;
  // An unnamed file vanishes on close; without O_TMPFILE support, a named
  // one is removed at once.
  int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return 0;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
  std::string name = dir + ".varn-write-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  unlink(name.c_str());
  return 0;
}
}  // namespace

bool FolderWritable(std::string_view folder) { return FolderWriteErrno(folder) == 0; }

AppFolderFacts CurrentAppFolderFacts() {
  AppFolderFacts facts;
  facts.executableFolder = ExecutableFolder();
  // No write attempt in /usr: the name decides there.
  facts.executableFolderWritable =
      !IsInstalledFolder(facts.executableFolder) && FolderWritable(facts.executableFolder);
  facts.xdgDataHome = EnvText("XDG_DATA_HOME");
  facts.home = EnvText("HOME");
  return facts;
}

void SetAppFolder(std::string_view folder) {
  if (folder.empty()) {
    gAppFolder.clear();
    return;
  }
  // The program enters its folder on start; a relative name would then
  // point one level deeper.
  std::error_code ec;
  std::filesystem::path path(folder);
  if (path.is_relative()) {
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    if (!ec) path = whole.lexically_normal();
  }
  gAppFolder = NormaliseFolder(path.string(), false);
}

std::string NormaliseFolder(std::string_view path, bool removeSeparator) {
  if (TrimBlanks(path).empty()) return "";
  const char sep = SeparatorFor(path);
  std::string p(path);
  const bool ends = p.back() == sep;
  if (removeSeparator) {
    if (ends) p.pop_back();
  } else if (!ends) {
    p.push_back(sep);
  }
  return p;
}

bool FolderExists(std::string_view path) {
  // "/" normalised without its separator is empty; the root exists.
  const std::string p = TrimBlanks(path) == "/" ? std::string(1, '/') : NormaliseFolder(path, true);
  if (p.empty()) return false;
  struct stat st {};
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(std::string_view path) {
  const std::string p = NormaliseFolder(path, true);
  if (p.empty()) return false;
  return mkdir(p.c_str(), 0777) == 0;
}

bool EnsureFolder(std::string_view path) {
  if (FolderExists(path) || MakeFolder(path)) return true;
  const std::string p = NormaliseFolder(path, false);
  if (p.size() <= 2) return false;
  // Every prefix that ends before a separator, created shortest first.
  std::vector<std::string> prefixes;
  for (size_t i = p.size(); i-- > 0;)
    if (p[i] == '/' && i > 0) prefixes.push_back(p.substr(0, i));
  for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it)
    if (!FolderExists(*it)) MakeFolder(*it);
  return FolderExists(path);
}

std::string CreateFolderError(std::string_view path) {
  if (FolderExists(path)) return "";
  const std::string p = NormaliseFolder(path, false);
  if (p.empty()) return std::strerror(ENOENT);
  // Every level from the top, so the reason is that of the first level that
  // could not be made (a file in the way, a folder the user cannot write).
  for (size_t i = 1; i < p.size(); ++i) {
    if (p[i] != '/') continue;
    const std::string level = p.substr(0, i);
    if (mkdir(level.c_str(), 0777) == 0 || errno == EEXIST) continue;
    return std::strerror(errno);
  }
  if (FolderExists(p)) return "";
  return std::strerror(ENOTDIR);  // a file of that name
}

std::string WritableFolderError(std::string_view path) {
  if (std::string error = CreateFolderError(path); !error.empty()) return error;
  const int error = FolderWriteErrno(path);
  if (error == 0 || error == ENOSPC || error == EDQUOT) return "";
  return std::strerror(error);
}

std::string CutAtNull(std::string_view text) {
  std::string t = TrimBlanks(text);
  const size_t nul = t.find('\0');
  if (nul != std::string::npos) t.resize(nul);
  return t;
}

bool RegularFileExists(std::string_view path) {
  if (path.empty()) return false;
  struct stat st {};
  return stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace varn

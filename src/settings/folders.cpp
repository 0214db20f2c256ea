#include "settings/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "util/text.h"

namespace varn {

namespace {
std::string gAppFolder;

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
  if (gAppFolder.empty()) gAppFolder = NormaliseFolder(ExecutableFolder(), false);
  return gAppFolder;
}

void SetAppFolder(std::string_view folder) {
  gAppFolder = folder.empty() ? std::string() : NormaliseFolder(folder, false);
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

#include "util/file_names.h"

#include "util/text.h"

namespace varn {

std::string SplitPath(std::string_view path, PathParts want, CaseMode caseMode) {
  if (path.empty()) return "";
  std::string_view folder;
  std::string_view name = path;
  if (const size_t slash = path.rfind('/'); slash != std::string_view::npos) {
    folder = path.substr(0, slash);
    name = path.substr(slash + 1);
  }
  std::string_view base = name;
  std::string_view dot;
  std::string_view extension;
  if (const size_t d = name.rfind('.'); d != std::string_view::npos) {
    base = name.substr(0, d);
    dot = name.substr(d, 1);
    extension = name.substr(d + 1);
  }
  std::string out;
  if (want.folder) out += folder;
  if (want.separator) out += '/';
  if (want.base) out += base;
  if (want.dot) out += dot;
  if (want.extension) out += extension;
  if (caseMode == CaseMode::Lower) return ToLowerAscii(out);
  if (caseMode == CaseMode::Upper) return ToUpperAscii(out);
  return out;
}

std::string EnsureExtension(std::string_view fileName, std::string_view extension) {
  std::string ext = TrimBlanks(extension);
  if (fileName.empty()) return "";
  if (ext.empty()) return std::string(fileName);
  if (ext.front() != '.') ext.insert(0, 1, '.');
  if (EndsWithIgnoreCase(fileName, ext)) return std::string(fileName);
  return std::string(fileName) + ToLowerAscii(ext);
}

bool IsReservedDeviceName(std::string_view path) {
  const std::string base = SplitPath(path, PathParts{.base = true}, CaseMode::Upper);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CLOCK$")
    return true;
  if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")))
    return base[3] >= '0' && base[3] <= '9';
  return false;
}

}  // namespace varn

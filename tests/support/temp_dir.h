#pragma once
// A fresh folder under /tmp for one test, removed with everything in it.

#include <cstdint>
#include <string>
#include <vector>

namespace varn::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder path with a trailing "/".
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
bool PathExists(const std::string& path);

// Little-endian field readers for checking file layouts.
uint32_t Le32(const std::vector<uint8_t>& b, size_t offset);
uint16_t Le16(const std::vector<uint8_t>& b, size_t offset);

}  // namespace varn::test

#pragma once
// Whether an MP3 codec is registered with the system, and registering the
// preferred driver file when it can. The rules work on a small registry
// interface, so they hold on any platform and are tested with one in memory.

#include <cstdint>
#include <string>
#include <string_view>

namespace varn {

inline constexpr std::string_view kDrivers32Key32On64 =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
inline constexpr std::string_view kDrivers32Key =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
inline constexpr std::string_view kCodecValueName = "msacm.l3acm";
inline constexpr std::string_view kCodecFileLimited = "l3codeca.acm";
inline constexpr std::string_view kCodecFilePreferred = "l3codecp.acm";

// The local-machine hive, text values only.
class CodecRegistry {
 public:
  virtual ~CodecRegistry() = default;
  // "" when the value is missing.
  virtual std::string ReadValue(std::string_view key, std::string_view name) = 0;
  // False without the rights to write.
  virtual bool WriteValue(std::string_view key, std::string_view name, std::string_view value) = 0;
  virtual bool FileExists(std::string_view path) = 0;
  // The system folder, with a trailing separator.
  virtual std::string SystemFolder() = 0;
};

// 1 when an MP3 encoder is registered and usable afterwards, else 0. Shows
// "mp3エンコーダー登録ができません" when a registration it should make fails.
int32_t CheckCodecRegistration(CodecRegistry& registry);

}  // namespace varn

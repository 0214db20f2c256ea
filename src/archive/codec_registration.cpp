#include "archive/codec_registration.h"

#include "archive/archive_texts.h"
#include "util/text.h"
#include "util/user_notice.h"

namespace varn {

namespace {

size_t FileNameStart(std::string_view value) {
  const size_t sep = value.find_last_of("\\/");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

std::string FileNamePart(std::string_view value) {
  return ToLowerAscii(value.substr(FileNameStart(value)));
}

bool Register(CodecRegistry& registry, std::string_view key, std::string_view value) {
  if (registry.WriteValue(key, kCodecValueName, value)) return true;
  ShowNotice(kMp3RegistrationFailed, "varn", NoticeIcon::Error);
  return false;
}

}  // namespace

int32_t CheckCodecRegistration(CodecRegistry& registry) {
  // A 32-bit registration on a 64-bit system.
  const std::string wow = registry.ReadValue(kDrivers32Key32On64, kCodecValueName);
  if (!wow.empty()) {
    const std::string file = FileNamePart(wow);
    if (file == kCodecFileLimited) {
      // The limited driver only decodes: point the value at the preferred
      // one in the same folder. The file name is matched whatever its case,
      // else the limited driver would be written back and counted usable.
      const std::string value =
          wow.substr(0, FileNameStart(wow)) + std::string(kCodecFilePreferred);
      return Register(registry, kDrivers32Key32On64, value) ? 1 : 0;
    }
    return file == kCodecFilePreferred ? 1 : 0;
  }
  const std::string native = registry.ReadValue(kDrivers32Key, kCodecValueName);
  if (!native.empty() && FileNamePart(native) != kCodecFileLimited && registry.FileExists(native))
    return 1;
  const std::string preferred = registry.SystemFolder() + std::string(kCodecFilePreferred);
  if (!registry.FileExists(preferred)) return 0;
  return Register(registry, kDrivers32Key, preferred) ? 1 : 0;
}

}  // namespace varn

#pragma once
// Checksums for evidence: FILE.sha256 beside an archive file, in the format
// of sha256sum ("<64 hex digits>  <name>\n", the name without its folder),
// so `sha256sum -c FILE.sha256` run in the file's folder checks it too.

#include <string>
#include <string_view>

namespace varn {

inline constexpr std::string_view kChecksumExtension = ".sha256";

// The SHA-256 of a file's bytes as 64 lowercase hex digits; "" when it
// cannot be read (`error` says why).
std::string Sha256OfFile(const std::string& path, std::string* error = nullptr);

// Writes path + ".sha256" (atomically): "" when written, else why not.
std::string WriteChecksumFile(const std::string& path);

enum class ChecksumState { Agrees, Differs, NoSum, BadSum, Unreadable };

struct ChecksumCheck {
  ChecksumState state = ChecksumState::Agrees;
  std::string detail;  // for anything but Agrees: what is wrong
};

// Checks a file against its .sha256.
ChecksumCheck VerifyChecksumFile(const std::string& path);

}  // namespace varn

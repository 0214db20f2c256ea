#include "archive/file_checksum.h"

#include <nettle/sha2.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "util/text_file.h"

namespace varn {

namespace {

constexpr size_t kHashChunk = 1u << 16;
constexpr size_t kHexDigits = 2 * SHA256_DIGEST_SIZE;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

bool IsHex(std::string_view s) {
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

}  // namespace

std::string Sha256OfFile(const std::string& path, std::string* error) {
  std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return {};
  }
  sha256_ctx ctx;
  sha256_init(&ctx);
  std::array<uint8_t, kHashChunk> buffer;
  for (;;) {
    const size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
    if (n > 0) sha256_update(&ctx, n, buffer.data());
    if (n < buffer.size()) break;
  }
  if (std::ferror(f.get())) {
    if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
    return {};
  }
  std::array<uint8_t, SHA256_DIGEST_SIZE> digest;
  sha256_digest(&ctx, digest.size(), digest.data());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(kHexDigits);
  for (uint8_t b : digest) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 15]);
  }
  return hex;
}

std::string WriteChecksumFile(const std::string& path) {
  std::string error;
  const std::string hex = Sha256OfFile(path, &error);
  if (hex.empty()) return error;
  const std::string sumPath = path + std::string(kChecksumExtension);
  errno = 0;
  if (!ReplaceFileContents(sumPath, hex + "  " + FileName(path) + "\n"))
    return "cannot write " + sumPath + (errno ? std::string(": ") + std::strerror(errno) : "");
  return {};
}

ChecksumCheck VerifyChecksumFile(const std::string& path) {
  const std::string sumPath = path + std::string(kChecksumExtension);
  const std::optional<std::string> text = ReadWholeFile(sumPath, 4096);
  if (!text) return {ChecksumState::NoSum, "no checksum file " + sumPath};
  // sha256sum's line: the digest, a blank, a blank or '*', the name.
  const std::string& t = *text;
  if (t.size() < kHexDigits + 2 || !IsHex(std::string_view(t).substr(0, kHexDigits)) ||
      t[kHexDigits] != ' ')
    return {ChecksumState::BadSum, sumPath + " is not a sha256sum line"};
  std::string expected = t.substr(0, kHexDigits);
  for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string error;
  const std::string actual = Sha256OfFile(path, &error);
  if (actual.empty()) return {ChecksumState::Unreadable, error};
  if (actual != expected)
    return {ChecksumState::Differs, "SHA-256 " + actual + ", the sum says " + expected};
  return {};
}

}  // namespace varn

#include "ops/web/byte_range.h"

#include <charconv>
#include <string_view>

namespace varn {

namespace {

bool Number(std::string_view t, int64_t& out) {
  if (t.empty()) return false;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size() && out >= 0;
}

}  // namespace

ByteRangeRead ReadByteRange(const char* header, int64_t size) {
  ByteRangeRead whole{ByteRangeRead::Whole, 0, size};
  if (!header) return whole;
  std::string_view h(header);
  while (!h.empty() && h.front() == ' ') h.remove_prefix(1);
  while (!h.empty() && h.back() == ' ') h.remove_suffix(1);
  if (!h.starts_with("bytes=")) return whole;
  h.remove_prefix(6);
  if (h.find(',') != std::string_view::npos) return whole;
  const size_t dash = h.find('-');
  if (dash == std::string_view::npos) return whole;
  const std::string_view a = h.substr(0, dash);
  const std::string_view b = h.substr(dash + 1);
  int64_t first = 0;
  int64_t last = 0;
  if (a.empty()) {  // the last N bytes
    if (!Number(b, last)) return whole;
    if (last == 0 || size == 0) return {ByteRangeRead::Unsatisfiable, 0, 0};
    const int64_t n = last < size ? last : size;
    return {ByteRangeRead::Part, size - n, n};
  }
  if (!Number(a, first)) return whole;
  if (b.empty()) {
    last = size - 1;
  } else if (!Number(b, last) || last < first) {
    return whole;
  }
  if (first >= size) return {ByteRangeRead::Unsatisfiable, 0, 0};
  if (last >= size) last = size - 1;
  return {ByteRangeRead::Part, first, last - first + 1};
}

}  // namespace varn

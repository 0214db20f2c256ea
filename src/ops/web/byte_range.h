#pragma once
// A request's Range header against a file of known size: the one range
// "bytes=A-B", "bytes=A-" or "bytes=-N" (a list of several, or a header
// that is no byte range, is answered with the whole file, as HTTP allows).

#include <cstdint>

namespace varn {

struct ByteRangeRead {
  enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
  int64_t first = 0;
  int64_t length = 0;  // bytes from `first`
};

// `header` may be null (no Range header).
ByteRangeRead ReadByteRange(const char* header, int64_t size);

}  // namespace varn

#pragma once
// /api/v1/extract's answer: the range is cut by RunExtract on a thread of
// its own, whose bytes pass through a small bounded buffer to the
// connection's content-reader callback. The whole range is never held in
// memory: the cutting waits while the client has not taken what is there,
// and a client that goes away cancels it. At most kMaxExtractions run at
// once; the slot is given back when the response is freed.

#include <atomic>

#include "archive/range_extract.h"

struct MHD_Response;

namespace varn {

inline constexpr int kMaxExtractions = 2;
inline constexpr size_t kExtractBufferBytes = 256 * 1024;

// Takes one of `running`'s slots; false when all are taken.
bool TakeExtractionSlot(std::atomic<int>& running);

// A response streaming `plan`'s output; it gives the slot back to `running`
// when freed. Null (slot given back) when it cannot be made.
MHD_Response* ExtractResponse(ExtractPlan plan, std::atomic<int>& running);

}  // namespace varn

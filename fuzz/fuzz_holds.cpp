// The holds file on arbitrary text: reading must never crash, a file read
// without complaint must write back to text that reads as the same holds,
// and a broken one must give no holds at all (the sweeps then delete nothing).

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "archive/archive_holds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const varn::HoldsFile file = varn::ParseHolds(text, "fuzz");
  if (!file.ok) {
    if (!file.holds.empty() || file.error.empty()) std::abort();
    return 0;
  }
  const varn::HoldsFile again = varn::ParseHolds(varn::FormatHolds(file.holds), "again");
  if (!again.ok || again.holds != file.holds) std::abort();
  for (const varn::ArchiveHold& h : file.holds)
    if (!varn::Held(file.holds, h.channel, static_cast<double>(h.from), static_cast<double>(h.to)))
      std::abort();
  return 0;
}

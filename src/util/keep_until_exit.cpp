#include "util/keep_until_exit.h"

#include <mutex>
#include <vector>

namespace varn {

void KeepUntilExit(std::shared_ptr<void> object) {
  // Never freed, and reachable to the end, so no leak checker counts it.
  static std::mutex* guard = new std::mutex;
  static auto* kept = new std::vector<std::shared_ptr<void>>;
  const std::lock_guard<std::mutex> lock(*guard);
  kept->push_back(std::move(object));
}

}  // namespace varn

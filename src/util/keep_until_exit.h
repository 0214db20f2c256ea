#pragma once
// Keeps an object alive until the process ends. At the end of the program
// a thread that could not be stopped in time (a disk that does not answer)
// may still use what it was given; rather than free it under the thread,
// the program leaves it here and exits.

#include <memory>

namespace varn {

void KeepUntilExit(std::shared_ptr<void> object);

template <class T>
void KeepUntilExit(std::unique_ptr<T> object) {
  KeepUntilExit(std::shared_ptr<void>(std::move(object)));
}

}  // namespace varn

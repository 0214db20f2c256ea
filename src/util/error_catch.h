#pragma once
// The program-wide error convention. With ErrorCatch 0 (the normal case) a
// routine that meets an unexpected error ends quietly with its neutral
// result; with a non-zero value the error surfaces and ends the program, which
// is what a developer wants while hunting a fault.

#include <exception>
#include <utility>

namespace varn {

int ErrorCatch();
void SetErrorCatch(int value);

// Runs body and returns its result; on an exception returns `neutral` while
// ErrorCatch is 0, and lets the exception through otherwise.
template <class T, class Body>
T Trapped(T neutral, Body&& body) {
  if (ErrorCatch() != 0) return std::forward<Body>(body)();
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return neutral;
  }
}

// The same for a step without a result: the step is skipped on an error.
template <class Body>
void TrappedStep(Body&& body) {
  if (ErrorCatch() != 0) {
    std::forward<Body>(body)();
    return;
  }
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace varn

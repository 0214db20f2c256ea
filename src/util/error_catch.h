#pragma once
// The program-wide error convention. With ErrorCatch 0 (the normal case) a
// routine that meets an unexpected error ends quietly with its neutral
// result; with a non-zero value the error surfaces and ends the program, which
// is what a developer wants while hunting a fault.
//
// Quietly is not silently: the first failure at each trap, and then at most
// one an hour, goes to the trap reporter (the diagnostics file), named by the
// routine and the error, so a step that fails on every block still shows.

#include <exception>
#include <functional>
#include <source_location>
#include <string_view>
#include <utility>

#include "util/thread_role.h"

namespace varn {

int ErrorCatch();
void SetErrorCatch(int value);

// Receives "routine: error" for the failures worth a line. Without one,
// nothing is reported.
using TrapReporter = std::function<void(std::string_view routine, std::string_view error)>;
void SetTrapReporter(TrapReporter reporter);

// Called with the exception being handled; reports it when the trap at
// `where` has not reported within the last hour.
void NoteTrappedError(const std::source_location& where) noexcept;

// Runs body and returns its result; on an exception returns `neutral` while
// ErrorCatch is 0, and lets the exception through otherwise.
// Both run the body at once on the calling thread: a body that says which
// thread it needs is checked where it is written, not here.
template <class T, class Body>
T Trapped(T neutral, Body&& body,
          std::source_location where = std::source_location::current()) VARN_NO_THREAD_ANALYSIS {
  if (ErrorCatch() != 0) return std::forward<Body>(body)();
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    NoteTrappedError(where);
    return neutral;
  }
}

// The same for a step without a result: the step is skipped on an error.
template <class Body>
void TrappedStep(Body&& body,
                 std::source_location where = std::source_location::current()) VARN_NO_THREAD_ANALYSIS {
  if (ErrorCatch() != 0) {
    std::forward<Body>(body)();
    return;
  }
  try {
    std::forward<Body>(body)();
  } catch (...) {
    NoteTrappedError(where);
  }
}

}  // namespace varn

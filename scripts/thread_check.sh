#!/usr/bin/env bash
# Which thread may call what, checked by the compiler: runs Clang's
# thread-safety analysis (-Wthread-safety, warnings are errors) over the
# sources that hand work between threads (log, archive, audio, engine, ops,
# and the analysis's event and loudness ends; the window's Qt code runs on
# the program's thread alone and is not part of it). Syntax only: nothing
# is built.
#
#   scripts/thread_check.sh [BUILD_DIR]    (default build; its layers/ give the include roots)
#
# Exit 0 when the analysis finds nothing.
set -uo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
CXX_CHECK=${THREAD_CHECK_CXX:-clang++-16}
if ! command -v "$CXX_CHECK" >/dev/null; then
  echo "thread-check: $CXX_CHECK not found (scripts/setup.sh installs clang-16)" >&2
  exit 1
fi
if [ ! -d "$BUILD/layers" ]; then
  echo "thread-check: $BUILD/layers missing: configure $BUILD first" >&2
  exit 1
fi

FLAGS=(-std=c++20 -fsyntax-only -Wthread-safety -Werror=thread-safety -Wno-unknown-attributes
  -DVARN_VERSION='"check"' -I"$BUILD/layers/engine" -I"$BUILD/layers/audio" -I"$BUILD/layers/core"
  $(pkg-config --cflags-only-I lame libpulse libmpg123 libebur128 libmicrohttpd 2>/dev/null))

# The standard library once, not once per source.
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
printf '#include <%s>\n' algorithm array atomic chrono cmath cstdint cstring deque functional \
  map memory mutex optional span string string_view thread vector > "$WORK/std.h"
"$CXX_CHECK" -std=c++20 -x c++-header "$WORK/std.h" -o "$WORK/std.h.pch" || exit 1

# The analysis must be on: a source that calls across the threads fails.
if "$CXX_CHECK" "${FLAGS[@]}" -include-pch "$WORK/std.h.pch" tests/threads/wrong_thread.cpp \
  > "$WORK/wrong" 2>&1 || [ "$(grep -c 'requires holding thread role' "$WORK/wrong")" -ne 2 ]; then
  echo "thread-check: tests/threads/wrong_thread.cpp was not refused twice; is the analysis on?"
  cat "$WORK/wrong"
  exit 1
fi

# The layers whose code hands work between threads; the analysis's and the
# settings' code runs on whichever thread calls it and names no role.
mapfile -t SOURCES < <({
  find src/log src/archive src/audio src/engine src/ops -name '*.cpp'
  printf '%s\n' src/analysis/analysis_output.cpp src/analysis/live_loudness.cpp
} | sort)
JOBS=${THREAD_CHECK_JOBS:-$(nproc)}
printf '%s\n' "${SOURCES[@]}" |
  xargs -P "$JOBS" -I{} "$CXX_CHECK" "${FLAGS[@]}" -include-pch "$WORK/std.h.pch" {} \
    > "$WORK/out" 2>&1
status=$?
grep -E 'error|warning' "$WORK/out" | head -n 60
if [ "$status" -ne 0 ]; then
  echo "thread-check: the thread-safety analysis failed (${#SOURCES[@]} sources)"
  exit 1
fi
echo "thread-check: ${#SOURCES[@]} sources, no call from the wrong thread"

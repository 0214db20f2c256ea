#!/usr/bin/env bash
# Fuzz smoke test: builds the libFuzzer targets in build-fuzz/ with clang 16
# (AddressSanitizer, UndefinedBehaviorSanitizer, LeakSanitizer), then runs
# every fuzz/fuzz_*.cpp target for a bounded time from a copy of its seed
# corpus fuzz/corpus/<target>/. Any crash, leak, undefined behaviour,
# timeout or out-of-memory fails the run.
#
#   scripts/fuzz_smoke.sh [SECONDS_PER_TARGET]     (default 20)
#   scripts/fuzz_smoke.sh --build-only              (builds, runs nothing)
#
# Environment: FUZZ_CXX (default clang++-16), FUZZ_JOBS (targets run side by
# side and build jobs, default 2). Prints one line per target and a last line
# "fuzz: N passed, M failed"; exits 0 only when nothing failed. What a failing
# target found is kept in build-fuzz/fuzz-findings/<target>/; replay it with
# build-fuzz/fuzz/<target> FILE.
set -uo pipefail
cd "$(dirname "$0")/.."

BUILD_ONLY=0
if [ "${1:-}" = --build-only ]; then
  BUILD_ONLY=1
  shift
fi
SECONDS_PER_TARGET="${1:-20}"
if ! [[ "$SECONDS_PER_TARGET" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz_smoke.sh [SECONDS_PER_TARGET | --build-only]" >&2
  exit 2
fi
CXX_FUZZ="${FUZZ_CXX:-clang++-16}"
JOBS="${FUZZ_JOBS:-2}"
BUILD=build-fuzz
FINDINGS="$BUILD/fuzz-findings"

mapfile -t TARGETS < <(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done | sort)
started=$(date +%s)

fail_all() {
  echo "fuzz: $1" >&2
  echo "fuzz: 0 passed, ${#TARGETS[@]} failed"
  exit 1
}

# --- build -------------------------------------------------------------------
if ! command -v "$CXX_FUZZ" > /dev/null; then
  fail_all "$CXX_FUZZ not found (scripts/setup.sh installs clang-16 and libclang-rt-16-dev)"
fi
cxx_path="$(command -v "$CXX_FUZZ")"
# A build folder made with another compiler is made again.
if [ -f "$BUILD/CMakeCache.txt" ] &&
  ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$cxx_path" "$BUILD/CMakeCache.txt"; then
  rm -rf "$BUILD"
fi
build_log="$(mktemp)"
if [ ! -f "$BUILD/build.ninja" ]; then
  if ! CXX="$cxx_path" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DVARN_FUZZ=ON -DVARN_TESTS=OFF -DVARN_BENCH=OFF > "$build_log" 2>&1; then
    tail -n 30 "$build_log" >&2
    rm -f "$build_log"
    fail_all "configuring $BUILD failed"
  fi
fi
if ! cmake --build "$BUILD" --target varn_fuzzers -- -j"$JOBS" > "$build_log" 2>&1; then
  grep -E "error|FAILED" "$build_log" | head -n 30 >&2
  rm -f "$build_log"
  fail_all "building the fuzz targets failed"
fi
rm -f "$build_log"
built=$(date +%s)
echo "fuzz: built ${#TARGETS[@]} targets in $((built - started)) s"
((BUILD_ONLY)) && exit 0

# --- run ---------------------------------------------------------------------
# Stack traces with file and line: the newest llvm-symbolizer there is.
symbolizer=""
for s in /usr/lib/llvm-16/bin/llvm-symbolizer "$(command -v llvm-symbolizer || true)" \
  /usr/lib/llvm-14/bin/llvm-symbolizer; do
  if [ -n "$s" ] && [ -x "$s" ]; then
    symbolizer="$(readlink -f "$s")"
    break
  fi
done
sym_opt=""
[ -n "$symbolizer" ] && sym_opt=":external_symbolizer_path=$symbolizer"
export ASAN_OPTIONS="detect_leaks=1:symbolize=1$sym_opt"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:symbolize=1$sym_opt"

# On tmpfs when there is one: the targets write their input to a file for
# every run, and the settings target writes (and syncs) settings files.
scratch=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
work="$(mktemp -d "$scratch/varn-fuzz-smoke.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Runs one target; leaves "rc" and the log in its folder.
# A fixed seed makes a run repeatable (the same inputs in the same order on
# an equally fast machine); VARN_FUZZ_SEED=0 lets libFuzzer pick one.
SEED=${VARN_FUZZ_SEED:-1}

run_target() {
  local t="$1" dir="$work/$1"
  mkdir -p "$dir/corpus" "$dir/artifacts" "$dir/tmp"
  if [ -d "fuzz/corpus/$t" ]; then cp -r "fuzz/corpus/$t/." "$dir/corpus/"; fi
  # libFuzzer stops itself after max_total_time; the outer limit only ends a
  # run that cannot (a hang outside the per-input timeout).
  TMPDIR="$dir/tmp" timeout -k 10 $((SECONDS_PER_TARGET + 120)) \
    "$BUILD/fuzz/$t" "$dir/corpus" -max_total_time="$SECONDS_PER_TARGET" -seed="$SEED" \
    -rss_limit_mb=2048 -timeout=10 -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" > "$dir/log" 2>&1
  echo $? > "$dir/rc"
}

# FUZZ_JOBS targets side by side, each on its own core.
pending=("${TARGETS[@]}")
while [ ${#pending[@]} -gt 0 ]; do
  batch=("${pending[@]:0:$JOBS}")
  pending=("${pending[@]:$JOBS}")
  for t in "${batch[@]}"; do run_target "$t" & done
  wait
done

passed=0
failed=0
for t in "${TARGETS[@]}"; do
  dir="$work/$t"
  rc="$(cat "$dir/rc" 2>/dev/null || echo 1)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)"
  seeds="$(find "fuzz/corpus/$t" -type f 2>/dev/null | wc -l)"
  found="$(find "$dir/corpus" -type f | wc -l)"
  if [ "$rc" = 0 ] && ! grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:" "$dir/log"; then
    passed=$((passed + 1))
    echo "fuzz: $t passed: ${runs:-0} runs, corpus $seeds -> $found files"
  else
    failed=$((failed + 1))
    what="$(grep -m1 -oE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer): [^(]*|runtime error: .*" "$dir/log")"
    echo "fuzz: $t FAILED (exit $rc): ${what:-see the log} after ${runs:-?} runs"
    mkdir -p "$FINDINGS/$t"
    cp "$dir/log" "$FINDINGS/$t/log.txt"
    cp -r "$dir/artifacts/." "$FINDINGS/$t/" 2>/dev/null
    # The report itself: from the first sanitizer or libFuzzer line on.
    sed -n '/==[0-9]*==ERROR\|runtime error:\|ERROR: libFuzzer/,$p' "$dir/log" | head -n 25 | sed 's/^/    /'
    echo "    kept in $FINDINGS/$t/"
  fi
done

echo "fuzz: $((SECONDS_PER_TARGET)) s per target, $JOBS at a time, $(($(date +%s) - started)) s in all"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test, in stages:
#   build     the normal build (warnings are errors), then every test (CTest)
#   format    the code against .clang-format (a report; it reformats nothing)
#   asan      every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      the audio backend and engine tests, built with ThreadSanitizer
#   fuzz      every fuzz target for 10 s from its seed corpus (--long: 20 s)
#   soak      the headless monitor on eight virtual lines (60 s; --long: 10 minutes)
# Options: --quick runs the build stage only; --long fuzzes and soaks longer.
# Each stage says how long it took; the last line counts the tests run.
set -uo pipefail
cd "$(dirname "$0")"

QUICK=0
SOAK_ARGS=()
FUZZ_SECONDS=10
for arg in "$@"; do
  case $arg in
    --quick) QUICK=1 ;;
    --long) SOAK_ARGS+=(--long) FUZZ_SECONDS=20 ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

# cpu_seconds: user + system seconds of every child this shell has waited
# for (cutime and cstime of /proc/PID/stat; `times` would run in a subshell).
CLOCK_TICKS=$(getconf CLK_TCK)
cpu_seconds() {
  sed 's/^.*) //' "/proc/$$/stat" | awk -v hz="$CLOCK_TICKS" '{ printf "%.0f", ($14 + $15) / hz }'
}

export VARN_WERROR=ON
scripts/setup.sh || exit 1
SETUP_TIME=$SECONDS
SETUP_CPU=$(cpu_seconds)

export QT_QPA_PLATFORM=offscreen
# Sanitizer reports end the test that caused them.
# intercept_strndup=0: the X keyboard library reads past strings it hands to strndup
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp
# shellcheck source=scripts/test_pulse.sh
. scripts/test_pulse.sh

PASSED=0
FAILED=0
FAILED_STAGES=()
TIMES=("setup-and-build ${SETUP_TIME} s (cpu $SETUP_CPU s)")

# run_stage NAME CMD...: runs CMD, notes its time and whether it failed.
# Wall time is noisy on a shared machine; the CPU seconds of the stage's
# processes (user + system) are not.
run_stage() {
  local name=$1 start cpu status took
  shift
  echo "=== test.sh: $name"
  start=$SECONDS
  cpu=$(cpu_seconds)
  "$@"
  status=$?
  took="$((SECONDS - start)) s (cpu $(($(cpu_seconds) - cpu)) s)"
  TIMES+=("$name $took")
  if ((status != 0)); then FAILED_STAGES+=("$name"); fi
  echo "=== test.sh: $name took $took (exit $status)"
  return 0
}

# ctest_in DIR [CTEST ARGS...]: runs the tests of a build folder, counting them.
ctest_in() {
  local dir=$1 log status total failed
  shift
  log=$dir/ctest.log
  ctest --test-dir "$dir" --output-on-failure --timeout 600 -j"$(nproc)" "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  failed=$(sed -n 's/.*, \([0-9]*\) tests failed out of.*/\1/p' "$log" | tail -n 1)
  PASSED=$((PASSED + ${total:-0} - ${failed:-0}))
  FAILED=$((FAILED + ${failed:-0}))
  if [ -z "$total" ]; then FAILED=$((FAILED + 1)); fi
  return "$status"
}

# configure_in DIR CMAKE ARGS...: a second build folder, configured once.
configure_in() {
  local dir=$1
  shift
  [ -f "$dir/build.ninja" ] && return 0
  # Warnings are errors in the normal build only: the sanitizers' extra code
  # makes the optimiser warn about the standard library's own internals.
  # Line tables are all a sanitizer's report needs: full debug information
  # would take a good part of the build's time.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DVARN_BENCH=OFF "$@" >/dev/null
}

# counted CMD...: a check that counts as one test.
counted() {
  if "$@"; then
    PASSED=$((PASSED + 1))
  else
    FAILED=$((FAILED + 1))
    return 1
  fi
}

format_report() {
  local files=0 differ=0 f
  for f in $(git ls-files '*.cpp' '*.h'); do
    files=$((files + 1))
    if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
      differ=$((differ + 1))
      echo "format: $f differs from .clang-format"
    fi
  done
  echo "format: $differ of $files files differ from .clang-format (reported, not changed)"
  return 0
}

asan_stage() {
  configure_in build-asan -DVARN_SANITIZE=address -DVARN_WERROR=OFF || return 1
  cmake --build build-asan -- -j"$(nproc)" || return 1
  ctest_in build-asan
}

tsan_stage() {
  # The backends' threads, the archive worker, the hook runner and the engine,
  # on virtual devices and on the PulseAudio test server: what they share
  # with the program's thread is the header flags, the bytes recorded and
  # lock-free rings (tests/sanitizers/tsan.supp says what is left out of
  # the PulseAudio client library, which is not built with the sanitizer).
  configure_in build-tsan -DVARN_SANITIZE=thread -DVARN_WERROR=OFF || return 1
  cmake --build build-tsan --target test_audio test_engine test_engine_pulse -- -j"$(nproc)" || return 1
  # Only these programs are built here; the others' placeholders are left
  # out. A ramp heard without a break needs real-time speed, which the
  # sanitizer does not leave: that test runs in the other stages.
  ctest_in build-tsan -E '_NOT_BUILT$|ARampPlayedThroughArrivesWithoutABreak'
}

run_stage build ctest_in build
if ((QUICK == 0)); then
  run_stage format format_report
  run_stage asan asan_stage
  run_stage tsan tsan_stage
  run_stage fuzz counted scripts/fuzz_smoke.sh "$FUZZ_SECONDS"
  run_stage soak counted scripts/soak.sh --binary build/varn "${SOAK_ARGS[@]}"
fi

echo "=== test.sh: stage times (wall, cpu = user + system):"
printf '  %s\n' "${TIMES[@]}"
echo "=== test.sh: all $SECONDS s (cpu $(cpu_seconds) s), load $(cut -d' ' -f1-3 /proc/loadavg)"
if ((${#FAILED_STAGES[@]} > 0)); then
  echo "test.sh: failed stages: ${FAILED_STAGES[*]}"
  FAILED=$((FAILED > 0 ? FAILED : 1))
fi
echo "test.sh: $PASSED passed, $FAILED failed"
if ((${#FAILED_STAGES[@]} > 0)); then exit 1; fi
exit 0

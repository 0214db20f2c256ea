#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test, in stages:
#   build     the normal build (warnings are errors), then every test (CTest)
#   format    the code against .clang-format (a report; it reformats nothing)
#   threads   Clang's thread-safety analysis: which thread may call what
#   soak      the headless monitor on eight virtual lines (60 s; --long: 10 minutes)
#   asan      every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      the tests where threads meet (audio backends, the engine's
#             threaded tests), built with ThreadSanitizer
#   fuzz      every fuzz target for 4 s from its seed corpus (--long: 20 s)
#   asan-realtime  the real-time ramp test under AddressSanitizer, once the
#             checking builds no longer compete with it
# The last three stages' builds (scripts/sanitizer_builds.sh) run in the
# background at the lowest priority from the end of the normal build on:
# the stages before them need little CPU, the builds nearly all of it.
# Options: --quick runs the build stage only; --long fuzzes and soaks longer.
# Each stage says how long it took; the last line counts the tests run.
set -uo pipefail
cd "$(dirname "$0")"

QUICK=0
SOAK_ARGS=()
FUZZ_SECONDS=4
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

# The checking builds, one after another in a session of their own (so that
# an interrupted test.sh can end them all), niced below everything else.
# They are started from a subshell that ends at once: not being this shell's
# children, their CPU is not counted into whichever stage runs when they end
# (they count their own).
BUILDS=.test-builds
start_checking_builds() {
  rm -rf "$BUILDS"
  mkdir -p "$BUILDS"
  BUILDS_START=$SECONDS
  (setsid nice -n 19 scripts/sanitizer_builds.sh "$BUILDS" </dev/null >/dev/null 2>&1 &)
  # This replaces the test server's trap, so it stops the server too.
  trap 'builds_running && kill -- -"$(cat "$BUILDS/pid")" 2>/dev/null; varn_stop_pulse' EXIT
}

# builds_running: whether the checking builds still run (or are starting).
builds_running() {
  local pid
  if ! pid=$(cat "$BUILDS/pid" 2>/dev/null); then
    ((SECONDS - BUILDS_START < 60))
    return
  fi
  kill -0 "$pid" 2>/dev/null
}

# wait_build NAME: waits for a checking build; shows its log's end if it failed.
wait_build() {
  local name=$1 rc
  while [ ! -f "$BUILDS/$name.rc" ] && builds_running; do sleep 1; done
  rc=$(cat "$BUILDS/$name.rc" 2>/dev/null || echo 1)
  echo "=== test.sh: the $name build is ready $((SECONDS - BUILDS_START)) s after the checking builds started (exit $rc)"
  if [ "$rc" != 0 ]; then
    tail -n 40 "$BUILDS/$name.log"
    return 1
  fi
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

# One clang-format for all the files: a process per file took ten times as long.
format_report() {
  local files differ
  files=$(git ls-files '*.cpp' '*.h' | wc -l)
  differ=$(git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror 2>&1 |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
  [ -n "$differ" ] && printf 'format: %s differs from .clang-format\n' $differ
  echo "format: $(printf '%s' "$differ" | grep -c .) of $files files differ from .clang-format (reported, not changed)"
  return 0
}

# A ramp heard without a break needs real-time speed: under AddressSanitizer
# it keeps up only with the machine to itself, so it runs once the checking
# builds are done (asan_realtime_stage).
RAMP_TEST=ARampPlayedThroughArrivesWithoutABreak

asan_stage() {
  wait_build asan || return 1
  # Most of the longest tests wait on real time: three at once keep two
  # cores busy.
  ctest_in build-asan -E "$RAMP_TEST" -LE live -j3
}

asan_realtime_stage() {
  wait_build asan || return 1
  ctest_in build-asan -LE live -R "$RAMP_TEST"
}

tsan_stage() {
  # The backends' threads, the archive worker, the hook runner and the engine,
  # on virtual devices and on the PulseAudio test server: what they share
  # with the program's thread is the header flags, the bytes recorded and
  # lock-free rings (tests/sanitizers/tsan.supp says what is left out of
  # the PulseAudio client library, which is not built with the sanitizer).
  wait_build tsan || return 1
  # Only these programs are built here; the others' placeholders are left
  # out. A ramp heard without a break needs real-time speed, which the
  # sanitizer does not leave: that test runs in the other stages.
  ctest_in build-tsan -E "_NOT_BUILT\$|$RAMP_TEST" -LE live -j3
}

fuzz_stage() {
  wait_build fuzz || return 1
  counted scripts/fuzz_smoke.sh "$FUZZ_SECONDS"
}

((QUICK == 0)) && start_checking_builds
run_stage build ctest_in build
if ((QUICK == 0)); then
  run_stage format format_report
  run_stage threads counted scripts/thread_check.sh build
  run_stage soak counted scripts/soak.sh --binary build/varn "${SOAK_ARGS[@]}"
  run_stage asan asan_stage
  run_stage tsan tsan_stage
  run_stage fuzz fuzz_stage
  while [ ! -f "$BUILDS/cpu" ] && builds_running; do sleep 1; done
  BUILDS_CPU=$(cat "$BUILDS/cpu" 2>/dev/null || echo 0)
  TIMES+=("checking builds, in the background from the build stage on: $(cat "$BUILDS/seconds" 2>/dev/null) s (cpu $BUILDS_CPU s)")
  run_stage asan-realtime asan_realtime_stage
fi

echo "=== test.sh: stage times (wall, cpu = user + system):"
printf '  %s\n' "${TIMES[@]}"
echo "=== test.sh: all $SECONDS s (cpu $(($(cpu_seconds) + ${BUILDS_CPU:-0})) s), load $(cut -d' ' -f1-3 /proc/loadavg)"
if ((${#FAILED_STAGES[@]} > 0)); then
  echo "test.sh: failed stages: ${FAILED_STAGES[*]}"
  FAILED=$((FAILED > 0 ? FAILED : 1))
fi
echo "test.sh: $PASSED passed, $FAILED failed"
if ((${#FAILED_STAGES[@]} > 0)); then exit 1; fi
exit 0

#!/usr/bin/env bash
# Builds the checking folders one after another:
#   asan   build-asan, every program, with AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan   build-tsan, the tests where threads meet (the audio backends, the
#          engine's threaded tests), with ThreadSanitizer
#   fuzz   build-fuzz, the libFuzzer targets (scripts/fuzz_smoke.sh --build-only)
#
#   scripts/sanitizer_builds.sh STATUS_DIR
#
# test.sh starts it in the background, at the lowest priority, once the
# normal build is done: the stages that test in the meantime need little CPU,
# the builds nearly all of it. Each build leaves NAME.log and then NAME.rc
# (its exit status) in STATUS_DIR; the stage that needs a build waits for its
# .rc file. STATUS_DIR/pid holds this script's process id; at the end,
# STATUS_DIR/seconds and STATUS_DIR/cpu hold the wall and CPU seconds of all
# the builds.
set -uo pipefail
cd "$(dirname "$0")/.."

STATUS=${1:?usage: scripts/sanitizer_builds.sh STATUS_DIR}
mkdir -p "$STATUS"
echo $$ > "$STATUS/pid"
# test.sh starts this in a session of its own, and where the kernel groups
# sessions for scheduling (autogroup), each group gets an equal share of the
# CPU whatever its processes' nice values: the builds would take half the
# machine from the real-time tests beside them. The group gets the lowest
# priority too.
if [ -w /proc/self/autogroup ]; then echo 19 2>/dev/null >/proc/self/autogroup || true; fi
JOBS=$(nproc)

# configure_in DIR CMAKE ARGS...: a checking build folder, configured once.
# Warnings are errors in the normal build only: the sanitizers' extra code
# makes the optimiser warn about the standard library's own internals. The
# program's code is built at -O1, as the sanitizers recommend, the tests'
# own code at -O0: it halves the compile time and the tests run as fast.
# Line tables are all a sanitizer's report needs.
configure_in() {
  local dir=$1
  shift
  [ -f "$dir/build.ninja" ] && return 0
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
    -DVARN_TEST_OPT=-O0 -DVARN_BENCH=OFF -DVARN_WERROR=OFF "$@"
}

asan_build() {
  configure_in build-asan -DVARN_SANITIZE=address && cmake --build build-asan -- -j"$JOBS"
}

tsan_build() {
  configure_in build-tsan -DVARN_SANITIZE=thread &&
    cmake --build build-tsan --target test_audio test_threads test_engine_pulse -- -j"$JOBS"
}

fuzz_build() {
  FUZZ_JOBS=$JOBS scripts/fuzz_smoke.sh --build-only
}

for name in asan tsan fuzz; do
  "${name}_build" > "$STATUS/$name.log" 2>&1
  echo $? > "$STATUS/$name.rc.part"
  mv "$STATUS/$name.rc.part" "$STATUS/$name.rc"
done

echo "$SECONDS" > "$STATUS/seconds"
CLOCK_TICKS=$(getconf CLK_TCK)
sed 's/^.*) //' "/proc/$$/stat" | awk -v hz="$CLOCK_TICKS" '{ printf "%.0f\n", ($14 + $15) / hz }' > "$STATUS/cpu.part"
mv "$STATUS/cpu.part" "$STATUS/cpu"

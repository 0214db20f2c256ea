#!/usr/bin/env bash
# scale_bench.sh: how many monitors fit side by side on this machine.
#
# Usage:  bench/scale_bench.sh [N] [SECONDS]
#
#   N                  instances to run at once (default 20), eight lines each
#   SECONDS            length of the run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary (default: build build-bench/varn in Release)
#
# N copies of `varn --headless --audio sim` run together, each in its own
# program folder with eight 48000 Hz stereo lines archived as MP3 at
# 160 kbit/s, every line fed the same noise by the virtual file device (whose
# cost is varn's own). At the end it counts the "Capture overrun" lines of
# every instance's diagnostics file and the frames lost in their summary
# lines, and the CPU all of them used (user+sys, from one `time` around the
# whole group) as a share of one core.
#
# Goal: 20 instances (160 lines) without an overrun. The last line sums it
# up; a missed goal also prints "GOAL MISSED". The exit status is non-zero
# only when a run failed.
set -euo pipefail

INSTANCES=${1:-20}
shift || true
BENCH_NAME=scale_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
[[ $INSTANCES =~ ^[0-9]+$ && $INSTANCES -gt 0 ]] || fail "N must be a whole number > 0"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-scale.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

echo "varn scale bench: $INSTANCES instances x 8 lines, $DURATION s, binary $VARN"
echo "load average before: $(load)   (cores: $(nproc))"
mkdir "$WORK/files"
make_noise_wav "$WORK/files/noise.wav" "$((DURATION < 30 ? DURATION : 30))"
for i in $(seq 1 "$INSTANCES"); do write_eight_lines "$WORK/v$i" "Sim File noise.wav"; done

# All of them at once; `time` sums the CPU of the whole group.
group() {
  local i pids=()
  for i in $(seq 1 "$INSTANCES"); do
    VARN_SIM_FILES="$WORK/files" "$VARN" --headless --audio sim --duration "$DURATION" \
      --app-folder "$WORK/v$i" >"$WORK/v$i.out" 2>"$WORK/v$i.err" &
    pids+=($!)
  done
  local failed=0
  for i in "${pids[@]}"; do wait "$i" || failed=1; done
  return "$failed"
}
TIMEFORMAT='%3R %3U %3S'
{ time group; } 2>"$WORK/time" || fail "an instance failed: $(tail -n 3 "$WORK"/v*.err | tail -n 5)"
read -r REAL U S <"$WORK/time"
SHARE=$(calc "($U + $S) / $REAL * 100")

OVERRUNS=0
LOST=0
LONGEST=0
for i in $(seq 1 "$INSTANCES"); do
  [[ $(cat "$WORK/v$i.err") =~ $SUMMARY_RE ]] || fail "no summary line from instance $i"
  LOST=$((LOST + BASH_REMATCH[5]))
  true_that "${BASH_REMATCH[3]} > $LONGEST" && LONGEST=${BASH_REMATCH[3]}
  n=$(cat "$WORK/v$i"/varn_data/varn*.err 2>/dev/null | grep -c "Capture overrun" || true)
  OVERRUNS=$((OVERRUNS + n))
done
echo "load average after:  $(load)"
((OVERRUNS == 0 && LOST == 0)) || echo "GOAL MISSED: $OVERRUNS overruns, $LOST frames lost with $INSTANCES instances"
((INSTANCES >= 20)) || echo "(the goal is stated for 20 instances; this run had $INSTANCES)"
printf 'scale_bench: %d instances (%d lines): %d overruns, %d frames lost, CPU %.1f %% of one core, longest tick %s ms (goal: 20 instances without an overrun)\n' \
  "$INSTANCES" "$((INSTANCES * 8))" "$OVERRUNS" "$LOST" "$SHARE" "$LONGEST"
exit 0

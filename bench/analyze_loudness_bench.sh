#!/usr/bin/env bash
# analyze_loudness_bench.sh: how fast `varn analyze --loudness` measures a
# recording, compared with ffmpeg's ebur128 filter with true peak, each on
# one thread; and how much a second job saves on a day's worth of files.
#
# Usage:  bench/analyze_loudness_bench.sh [SECONDS]
#
#   SECONDS            length of the long recording (default 600; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_RUNS    runs of each measurement; the median counts (default 3)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder):
#  1. 60 s of 48000 Hz stereo pink-ish noise (bench_common.sh's
#     make_noise_wav), written SECONDS / 60 times over into one recording,
#     and sixteen copies of the minute as sixteen files.
#  2. `varn analyze --loudness --jobs 1 LONG` and
#     `ffmpeg -filter_threads 1 -threads 1 -i LONG -af ebur128=peak=true -f null -`,
#     alternately, VARN_BENCH_RUNS times each; bash's `time` gives the CPU
#     time (user+sys) of each run.
#  3. `varn analyze --loudness --jobs 1` and `--jobs 2` on the sixteen files,
#     alternately, VARN_BENCH_RUNS times each: the wall time of each run.
#  4. Medians and ratios on one summary line.
#
# Goals: varn at least as fast as ffmpeg (CPU seconds); two jobs take at
# most 0.65 times the wall time of one. The second needs two idle cores:
# the machine's load average is printed with the figures, and the cores
# each run really had (CPU time / wall time): where the scheduler shares
# the machine by session, a second job gets no second core while others
# keep both busy. A missed goal
# prints a "GOAL MISSED" line; the exit status is non-zero only when a run
# failed.
set -euo pipefail

BENCH_NAME=analyze_loudness
VARN_BENCH_DURATION=${VARN_BENCH_DURATION:-600}
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
RUNS=${VARN_BENCH_RUNS:-3}
SPEED_GOAL=1
JOBS_GOAL=0.65
command -v ffmpeg >/dev/null || fail "ffmpeg is needed (scripts/setup.sh installs it)"
[[ $RUNS =~ ^[0-9]+$ && $RUNS -gt 0 ]] || fail "VARN_BENCH_RUNS must be a whole number > 0"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "keeping $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi

echo "varn analyze --loudness: $DURATION s of 48000 Hz stereo vs ffmpeg, 16 files of 60 s with 1 and 2 jobs, $RUNS runs each, binary $VARN"
LOAD_BEFORE=$(load)

make_noise_wav "$WORK/minute.wav" 60
python3 - "$WORK/minute.wav" "$WORK/long.wav" "$DURATION" <<'EOF'
import sys, wave
source, target, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
with wave.open(source, "rb") as r:
    params, frames = r.getparams(), r.readframes(r.getnframes())
rate, frame_bytes = params.framerate, params.nchannels * params.sampwidth
with wave.open(target, "wb") as w:
    w.setparams(params)
    left = seconds * rate
    while left > 0:
        n = min(left, len(frames) // frame_bytes)
        w.writeframes(frames[:n * frame_bytes])
        left -= n
EOF
FILES=()
for n in $(seq -w 1 16); do
  cp "$WORK/minute.wav" "$WORK/file$n.wav"
  FILES+=("$WORK/file$n.wav")
done

# Settings of their own, so the program folder's varn.ini plays no part.
mkdir "$WORK/app"
ANALYZE=("$VARN" --app-folder "$WORK/app" analyze --loudness)
VARN_CPUS=()
FFMPEG_CPUS=()
for _ in $(seq 1 "$RUNS"); do
  timed varn "${ANALYZE[@]}" --jobs 1 "$WORK/long.wav"
  VARN_CPUS+=("$CPU")
  timed ffmpeg ffmpeg -hide_banner -nostats -filter_threads 1 -threads 1 -i "$WORK/long.wav" \
    -af ebur128=peak=true -f null -
  FFMPEG_CPUS+=("$CPU")
done
grep -q '^loudness I ' "$WORK/varn.out" || fail "no loudness line from varn analyze"
grep -q 'Summary:' "$WORK/ffmpeg.err" || fail "no summary from ffmpeg"

ONE_WALLS=()
TWO_WALLS=()
ONE_CORES=()
TWO_CORES=()
for _ in $(seq 1 "$RUNS"); do
  timed one "${ANALYZE[@]}" --jobs 1 "${FILES[@]}"
  ONE_WALLS+=("$WALL")
  ONE_CORES+=("$(calc "$CPU / $WALL")")
  timed two "${ANALYZE[@]}" --jobs 2 "${FILES[@]}"
  TWO_WALLS+=("$WALL")
  TWO_CORES+=("$(calc "$CPU / $WALL")")
done
cmp -s "$WORK/one.out" "$WORK/two.out" || fail "one job and two jobs reported differently"
[[ $(grep -c '^loudness I ' "$WORK/two.out") == 16 ]] || fail "not every file was reported"

VARN_MEDIAN=$(median "${VARN_CPUS[@]}")
FFMPEG_MEDIAN=$(median "${FFMPEG_CPUS[@]}")
SPEED=$(calc "$FFMPEG_MEDIAN / ($VARN_MEDIAN > 0 ? $VARN_MEDIAN : 0.001)")
ONE_MEDIAN=$(median "${ONE_WALLS[@]}")
TWO_MEDIAN=$(median "${TWO_WALLS[@]}")
JOBS=$(calc "$TWO_MEDIAN / ($ONE_MEDIAN > 0 ? $ONE_MEDIAN : 0.001)")
LOAD_AFTER=$(load)
echo "varn:   $(grep '^loudness' "$WORK/varn.out")"
echo "ffmpeg: $(grep -E '^ +(I|LRA|Peak):' "$WORK/ffmpeg.err" | tr -s ' ' | tr '\n' ' ')"
echo "runs: varn CPU s ${VARN_CPUS[*]}; ffmpeg CPU s ${FFMPEG_CPUS[*]}; 1 job wall s ${ONE_WALLS[*]}; 2 jobs wall s ${TWO_WALLS[*]}"
printf 'analyze_loudness: varn %.2f s, ffmpeg %.2f s CPU on %d s (median of %d): varn is %.2f x as fast (goal >= %d x); 16 files: 1 job %.2f s, 2 jobs %.2f s wall: ratio %.2f (goal <= %s), cores used %.2f and %.2f; load %s -> %s on %d cores\n' \
  "$VARN_MEDIAN" "$FFMPEG_MEDIAN" "$DURATION" "$RUNS" "$SPEED" "$SPEED_GOAL" "$ONE_MEDIAN" \
  "$TWO_MEDIAN" "$JOBS" "$JOBS_GOAL" "$(median "${ONE_CORES[@]}")" "$(median "${TWO_CORES[@]}")" \
  "$LOAD_BEFORE" "$LOAD_AFTER" "$(nproc)"
true_that "$SPEED >= $SPEED_GOAL" ||
  printf 'GOAL MISSED: varn is only %.2f x as fast as ffmpeg (goal >= %d x)\n' "$SPEED" "$SPEED_GOAL"
true_that "$JOBS <= $JOBS_GOAL" ||
  printf 'GOAL MISSED: two jobs take %.2f x the time of one (goal <= %s; needs two idle cores)\n' \
    "$JOBS" "$JOBS_GOAL"
exit 0

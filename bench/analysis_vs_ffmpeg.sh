#!/usr/bin/env bash
# analysis_vs_ffmpeg.sh: how fast `varn analyze` goes through a recording,
# compared with ffmpeg's level statistics and silence detection on the same
# file, each on one thread.
#
# Usage:  bench/analysis_vs_ffmpeg.sh [SECONDS]
#
#   SECONDS            length of the recording (default 600; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_RUNS    runs of each program; the median counts (default 3)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder):
#  1. A SECONDS long 48000 Hz stereo 16-bit WAV (python3, fixed seed):
#     passages of pink-ish noise at changing levels, with a pause of half a
#     second to two seconds now and then, so silencedetect has work.
#  2. `varn analyze FILE` and
#     `ffmpeg -filter_threads 1 -threads 1 -i FILE
#             -af astats=metadata=0,silencedetect=n=-50dB:d=0.3 -f null -`
#     run VARN_BENCH_RUNS times each, alternating; bash's `time` gives the CPU
#     time (user+sys) of each run.
#  3. The medians and their ratio go on one summary line.
#
# Goal: varn at least 3 times as fast as ffmpeg (CPU seconds). A missed goal
# prints a "GOAL MISSED" line; the exit status is non-zero only when a run
# failed. Run it on a quiet machine: the load average is printed before and
# after.
set -euo pipefail

BENCH_NAME=analysis_vs_ffmpeg
VARN_BENCH_DURATION=${VARN_BENCH_DURATION:-600}
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
RUNS=${VARN_BENCH_RUNS:-3}
GOAL=3
command -v python3 >/dev/null || fail "python3 is needed to make the test WAV"
command -v ffmpeg >/dev/null || fail "ffmpeg is needed (scripts/setup.sh installs it)"
[[ $RUNS =~ ^[0-9]+$ && $RUNS -gt 0 ]] || fail "VARN_BENCH_RUNS must be a whole number > 0"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "keeping $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi

echo "varn analysis vs ffmpeg: $DURATION s of 48000 Hz stereo, $RUNS runs each, binary $VARN"
LOAD_BEFORE=$(load)

python3 - "$WORK/programme.wav" "$DURATION" <<'EOF'
import array, random, sys, wave
path, seconds, rate = sys.argv[1], int(sys.argv[2]), 48000
rng = random.Random(1)
# A pool of 15 s of stereo pink-ish noise at six levels; the programme is
# passages of 2 to 8 s cut from it at random places, some after a pause.
state = [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0]]  # one pinking filter per side
pool = []
for _ in range(15 * rate):
    for b in state:
        x = rng.uniform(-1.0, 1.0)
        b[0] = 0.99765 * b[0] + x * 0.0990460
        b[1] = 0.96300 * b[1] + x * 0.2965164
        b[2] = 0.57000 * b[2] + x * 1.0526913
        pool.append(b[0] + b[1] + b[2] + x * 0.1848)
levels = [array.array("h", (max(-32768, min(32767, int(v * g * 32767))) for v in pool)).tobytes()
          for g in (0.01, 0.03, 0.06, 0.1, 0.2, 0.3)]
tenth = rate // 10 * 4  # bytes in a tenth of a second
with wave.open(path, "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    left = seconds * 10  # tenths still to write
    while left > 0:
        if rng.random() < 0.4:
            pause = min(left, rng.randint(5, 20))
            w.writeframes(bytes(pause * tenth))
            left -= pause
        length = min(left, rng.randint(20, 80))
        start = rng.randrange(len(pool) // 2 - length * rate // 10) * 4
        w.writeframes(rng.choice(levels)[start:start + length * tenth])
        left -= length
EOF
FILE=$WORK/programme.wav

# Settings of their own, so the program folder's varn.ini plays no part.
mkdir "$WORK/app"
VARN_CPUS=()
FFMPEG_CPUS=()
for _ in $(seq 1 "$RUNS"); do
  timed varn "$VARN" --app-folder "$WORK/app" analyze "$FILE"
  VARN_CPUS+=("$CPU")
  timed ffmpeg ffmpeg -hide_banner -nostats -filter_threads 1 -threads 1 -i "$FILE" \
    -af astats=metadata=0,silencedetect=n=-50dB:d=0.3 -f null -
  FFMPEG_CPUS+=("$CPU")
done
grep -q '^levels max' "$WORK/varn.out" || fail "no levels line from varn analyze"
grep -q 'silence_start' "$WORK/ffmpeg.err" || fail "ffmpeg found no silence: the test file is wrong"

VARN_MEDIAN=$(median "${VARN_CPUS[@]}")
FFMPEG_MEDIAN=$(median "${FFMPEG_CPUS[@]}")
RATIO=$(calc "$FFMPEG_MEDIAN / ($VARN_MEDIAN > 0 ? $VARN_MEDIAN : 0.001)")
echo "load average before: $LOAD_BEFORE   after: $(load)   (cores: $(nproc))"
echo "runs (CPU s): varn ${VARN_CPUS[*]}; ffmpeg ${FFMPEG_CPUS[*]}; varn events: $(($(wc -l <"$WORK/varn.out") - 1))"
printf 'analysis_vs_ffmpeg: varn %.2f s, ffmpeg %.2f s CPU (median of %d): varn is %.2f x faster (goal >= %d x)\n' \
  "$VARN_MEDIAN" "$FFMPEG_MEDIAN" "$RUNS" "$RATIO" "$GOAL"
true_that "$RATIO >= $GOAL" ||
  printf 'GOAL MISSED: varn is only %.2f x faster than ffmpeg (goal >= %d x)\n' "$RATIO" "$GOAL"
exit 0

#!/usr/bin/env bash
# headless_bench.sh: how much CPU varn needs to watch and archive eight lines,
# compared with what the MP3 encoding of those eight lines costs by itself.
#
# Usage:  bench/headless_bench.sh [SECONDS]
#
#   SECONDS            length of the monitored run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_STARTS  how many start-up runs for the first-tick figure (default 5)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder):
#  1. A SECONDS long 48000 Hz stereo WAV of pink-ish noise (python3, fixed
#     seed). A varn.ini for eight channels, 48000 Hz stereo 16-bit, each
#     archived as MP3 at 160 kbit/s, each fed that file by the virtual file
#     device "Sim File noise.wav" (so no signal is synthesised in the run).
#     `varn --headless --audio sim --duration SECONDS` runs on it; bash's
#     `time` gives its CPU time (user+sys) and wall time.
#  2. The same WAV is encoded eight times with `varn encode ... --bitrate 160`:
#     the CPU time of those eight encodings divided by SECONDS is the share
#     one core needs for encoding the same audio alone in real time.
#  3. The headless summary line on stderr gives the tick figures and frames
#     lost; the diagnostics file (varn_data/varnYYYYMMDD.err) gives the count
#     of "Buffer irregular" and "Capture overrun" lines.
#  4. Start-up: a few runs of one second, each in a new folder whose varn.ini
#     holds only NumRec=8 (so every default is written back on that start);
#     the median "first tick" figure is reported.
#
# Goals: CPU share of varn / encoder share <= 1.15, longest tick < 20 ms,
# no overruns and no frames lost, first tick < 300 ms. A missed goal prints a
# "GOAL MISSED" line; the exit status is non-zero only when a run failed.
# Run it on a quiet machine: the load average is printed before and after.
set -euo pipefail

BENCH_NAME=headless_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
STARTS=${VARN_BENCH_STARTS:-5}
command -v python3 >/dev/null || fail "python3 is needed to make the test WAV"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "keeping $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi


# timed NAME CMD...: runs CMD with its output in $WORK/NAME.out and .err;
# sets REAL and CPU (user+sys, seconds). Fails the script when CMD fails.
timed() {
  local name=$1 TIMEFORMAT='%3R %3U %3S' r u s
  shift
  { time "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"; } 2>"$WORK/$name.time" ||
    fail "$name failed: $(tail -n 3 "$WORK/$name.err")"
  read -r r u s <"$WORK/$name.time"
  REAL=$r
  CPU=$(calc "$u + $s")
}

SUMMARY_RE='varn: ([0-9]+) ticks, mean ([0-9.]+) ms, longest ([0-9.]+) ms; first tick (-?[0-9.]+) ms after start; ([0-9]+) frames lost to overruns'

echo "varn headless bench: $DURATION s, binary $VARN"
LOAD_BEFORE=$(load)

# The audio: SECONDS of pink-ish noise, played to every channel by a virtual
# file device and encoded alone by `varn encode` below, so both figures
# come from the same audio.
mkdir "$WORK/files"
python3 - "$WORK/files/noise.wav" "$DURATION" <<'EOF'
import array, random, sys, wave
path, seconds, rate = sys.argv[1], int(sys.argv[2]), 48000
rng = random.Random(1)
state = [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0]]  # one pinking filter per side
with wave.open(path, "wb") as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
    for _ in range(seconds):
        block = array.array("h")
        for _ in range(rate):
            for b in state:
                x = rng.uniform(-1.0, 1.0)
                b[0] = 0.99765 * b[0] + x * 0.0990460
                b[1] = 0.96300 * b[1] + x * 0.2965164
                b[2] = 0.57000 * b[2] + x * 1.0526913
                v = int((b[0] + b[1] + b[2] + x * 0.1848) * 0.05 * 32767)
                block.append(max(-32768, min(32767, v)))
        w.writeframes(block.tobytes())
EOF

# 1. Eight channels, monitored and archived as MP3.
mkdir "$WORK/eight"
{
  echo "[conf]"
  echo "NumRec=8"
  for n in 1 2 3 4 5 6 7 8; do
    echo "DeviceName_$n=Sim File noise.wav"
    echo "RecFreq_$n=48000"
    echo "RecMode_$n=3"
    echo "BitRate_$n=160"
    echo "ArcOn_$n=1"
  done
} >"$WORK/eight/varn.ini"

VARN_SIM_FILES="$WORK/files" timed headless "$VARN" --headless --audio sim --duration "$DURATION" --app-folder "$WORK/eight"
VARN_REAL=$REAL
VARN_CPU=$CPU
[[ $(cat "$WORK/headless.err") =~ $SUMMARY_RE ]] || fail "no summary line from the headless run"
TICKS=${BASH_REMATCH[1]} MEAN=${BASH_REMATCH[2]} LONGEST=${BASH_REMATCH[3]} LOST=${BASH_REMATCH[5]}
IRREGULAR=$(cat "$WORK"/eight/varn_data/varn*.err 2>/dev/null | grep -c "Buffer irregular" || true)
OVERRUNS=$(cat "$WORK"/eight/varn_data/varn*.err 2>/dev/null | grep -c "Capture overrun" || true)

# 2. The encoder alone: the same audio through `varn encode`, once per channel.
mkdir "$WORK/encode"
ENC_CPU=0
for n in 1 2 3 4 5 6 7 8; do
  timed encode "$VARN" --app-folder "$WORK/encode" encode "$WORK/files/noise.wav" "$WORK/encode/out$n.mp3" --bitrate 160
  ENC_CPU=$(calc "$ENC_CPU + $CPU")
done

# 4. Start to first tick, each on a first start with a bare varn.ini.
FIRST=()
for n in $(seq 1 "$STARTS"); do
  mkdir "$WORK/start$n"
  printf '[conf]\nNumRec=8\n' >"$WORK/start$n/varn.ini"
  timed start "$VARN" --headless --audio sim --duration 1 --app-folder "$WORK/start$n"
  [[ $(cat "$WORK/start.err") =~ $SUMMARY_RE ]] || fail "no summary line from start-up run $n"
  FIRST+=("${BASH_REMATCH[4]}")
done
FIRST_MEDIAN=$(printf '%s\n' "${FIRST[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')

# Report.
VARN_SHARE=$(calc "$VARN_CPU / $VARN_REAL")
ENC_SHARE=$(calc "$ENC_CPU / $DURATION")
RATIO=$(calc "$VARN_SHARE / $ENC_SHARE")
echo "load average before: $LOAD_BEFORE   after: $(load)   (cores: $(nproc))"
printf 'varn CPU share:        %6.2f %%  (%.2f s CPU in %.2f s wall)\n' "$(calc "$VARN_SHARE * 100")" "$VARN_CPU" "$VARN_REAL"
printf 'encoder share:         %6.2f %%  (%.2f s CPU for 8 x %d s)\n' "$(calc "$ENC_SHARE * 100")" "$ENC_CPU" "$DURATION"
printf 'ratio varn / encoder:  %6.3f     (goal <= 1.15)\n' "$RATIO"
printf 'ticks:                 %d, mean %s ms, longest %s ms (goal < 20 ms)\n' "$TICKS" "$MEAN" "$LONGEST"
printf 'irregular buffers:     %d\n' "$IRREGULAR"
printf 'overruns:              %d lines, %d frames lost (goal 0)\n' "$OVERRUNS" "$LOST"
printf 'first tick (median):   %s ms (goal < 300 ms); runs: %s\n' "$FIRST_MEDIAN" "${FIRST[*]}"

true_that "$RATIO <= 1.15" || echo "GOAL MISSED: varn needs $RATIO times the encoder's CPU (goal <= 1.15)"
true_that "$LONGEST < 20" || echo "GOAL MISSED: longest tick $LONGEST ms (goal < 20 ms)"
((OVERRUNS == 0 && LOST == 0)) || echo "GOAL MISSED: $OVERRUNS overruns, $LOST frames lost (goal 0)"
true_that "$FIRST_MEDIAN < 300" || echo "GOAL MISSED: first tick after $FIRST_MEDIAN ms (goal < 300 ms)"
exit 0

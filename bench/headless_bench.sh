#!/usr/bin/env bash
# headless_bench.sh: how much CPU varn needs to watch and archive eight lines,
# compared with what the MP3 encoding of those eight lines costs by itself,
# on virtual devices and on a real PulseAudio server.
#
# Usage:  bench/headless_bench.sh [SECONDS]
#
#   SECONDS            length of each monitored run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_STARTS  how many start-up runs for the first-tick figure (default 5)
#   VARN_BENCH_ROUNDS  how many times steps 1 to 3 run (default 3)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder):
#  1. A SECONDS long 48000 Hz stereo WAV of pink-ish noise (python3, fixed
#     seed). A varn.ini for eight channels, 48000 Hz stereo 16-bit, each
#     archived as MP3 at 160 kbit/s, each fed that file by the virtual file
#     device "Sim File noise.wav". `varn --headless --audio sim --duration
#     SECONDS` runs on it; bash's `time` gives its CPU time (user+sys) and
#     wall time.
#  2. The same on a private PulseAudio server (when `pulseaudio` is
#     installed): a null sink plays the file (paplay) and all eight channels
#     record its monitor. The server's own CPU is not varn's and not counted.
#  3. The same WAV is encoded eight times with `varn encode ... --bitrate 160`:
#     the CPU time of those eight encodings divided by SECONDS is the share
#     one core needs for encoding the same audio alone in real time.
#  4. The headless summary line on stderr gives the tick figures and frames
#     lost; the diagnostics files give the count of "Buffer irregular" and
#     "Capture overrun" lines.
#  5. Start-up: a few runs of one second, each in a new folder whose varn.ini
#     holds only NumRec=8 (so every default is written back on that start);
#     the median "first tick" figure is reported.
#
# A virtual machine's CPU speed drifts between runs, and each ratio divides
# two runs made at different times, so steps 1 to 3 run VARN_BENCH_ROUNDS
# times, each round gives its ratios, and the medians are the figures.
#
# Goals: CPU share of varn / encoder share <= 1.15 on PulseAudio, longest
# tick < 20 ms, no overruns and no frames lost, first tick < 300 ms. The last
# line sums it up; a missed goal also prints a "GOAL MISSED" line. The exit
# status is non-zero only when a run failed. Run it on a quiet machine: the
# load average is printed before and after.
set -euo pipefail

BENCH_NAME=headless_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
STARTS=${VARN_BENCH_STARTS:-5}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
PULSE_PID=""
cleanup() {
  [[ -n $PULSE_PID ]] && kill "$PULSE_PID" 2>/dev/null || true
  if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

# run_eight NAME FOLDER ARGS...: one headless run of eight lines; sets SHARE,
# TICKS, MEAN, LONGEST, LOST and OVERRUNS (lines in the diagnostics file).
run_eight() {
  local name=$1 folder=$2
  shift 2
  timed "$name" "$VARN" --headless --duration "$DURATION" --app-folder "$folder" "$@"
  SHARE=$(calc "$CPU / $WALL")
  [[ $(cat "$WORK/$name.err") =~ $SUMMARY_RE ]] || fail "no summary line from the $name run"
  TICKS=${BASH_REMATCH[1]} MEAN=${BASH_REMATCH[2]} LONGEST=${BASH_REMATCH[3]} LOST=${BASH_REMATCH[5]}
  IRREGULAR=$(cat "$folder"/varn_data/varn*.err 2>/dev/null | grep -c "Buffer irregular" || true)
  OVERRUNS=$(cat "$folder"/varn_data/varn*.err 2>/dev/null | grep -c "Capture overrun" || true)
  printf '%-7s CPU share %6.2f %%  (%.2f s CPU in %.2f s), %d ticks, mean %s ms, longest %s ms, %d irregular, %d overruns, %d frames lost\n' \
    "$name:" "$(calc "$SHARE * 100")" "$CPU" "$WALL" "$TICKS" "$MEAN" "$LONGEST" "$IRREGULAR" "$OVERRUNS" "$LOST"
}

echo "varn headless bench: $DURATION s, binary $VARN"
LOAD_BEFORE=$(load)
echo "load average before: $LOAD_BEFORE   (cores: $(nproc))"

ROUNDS=${VARN_BENCH_ROUNDS:-3}
[[ $ROUNDS =~ ^[0-9]+$ && $ROUNDS -gt 0 ]] || fail "VARN_BENCH_ROUNDS must be a whole number > 0"
mkdir "$WORK/files" "$WORK/encode"
make_noise_wav "$WORK/files/noise.wav" "$DURATION"
write_eight_lines "$WORK/sim" "Sim File noise.wav"

# A PulseAudio server of the benchmark's own, when pulseaudio is installed.
HAVE_PULSE=0
if command -v pulseaudio >/dev/null && command -v paplay >/dev/null; then
  PDIR="$WORK/pulse-server"
  mkdir -m 700 "$PDIR"
  XDG_RUNTIME_DIR="$PDIR" HOME="$PDIR" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --log-target=file:"$PDIR/log" \
    -L "module-native-protocol-unix socket=$PDIR/native auth-anonymous=1" \
    -L "module-null-sink sink_name=varn_bench rate=48000 sink_properties=device.description=VarnBench" \
    >/dev/null 2>&1 &
  PULSE_PID=$!
  for _ in $(seq 50); do [[ -S $PDIR/native ]] && break; sleep 0.1; done
  [[ -S $PDIR/native ]] || fail "the PulseAudio server did not start (see $PDIR/log)"
  write_eight_lines "$WORK/pulse" "Monitor of VarnBench"
  HAVE_PULSE=1
else
  echo "pulse:  skipped (pulseaudio and paplay are needed)"
fi

SIM_RATIOS=() PULSE_RATIOS=()
WORST_LONGEST=0
BAD=0
for round in $(seq "$ROUNDS"); do
  echo "round $round:"
  # 1. Virtual devices.
  rm -rf "$WORK/sim/varn_data"
  VARN_SIM_FILES="$WORK/files" run_eight sim "$WORK/sim" --audio sim
  SIM_SHARE=$SHARE
  true_that "$LONGEST > $WORST_LONGEST" && WORST_LONGEST=$LONGEST
  BAD=$((BAD + OVERRUNS + LOST))

  # 2. PulseAudio: a null sink plays the file and every line records its monitor.
  if ((HAVE_PULSE)); then
    rm -rf "$WORK/pulse/varn_data"
    export PULSE_SERVER="unix:$PDIR/native"
    paplay -d varn_bench "$WORK/files/noise.wav" &
    PLAYER=$!
    run_eight pulse "$WORK/pulse" --audio pulse
    kill "$PLAYER" 2>/dev/null || true
    wait "$PLAYER" 2>/dev/null || true
    unset PULSE_SERVER
    PULSE_SHARE=$SHARE
    true_that "$LONGEST > $WORST_LONGEST" && WORST_LONGEST=$LONGEST
    BAD=$((BAD + OVERRUNS + LOST))
  fi

  # 3. The encoder alone: the same audio through `varn encode`, once per channel.
  ENC_CPU=0
  for n in 1 2 3 4 5 6 7 8; do
    timed encode "$VARN" --app-folder "$WORK/encode" encode "$WORK/files/noise.wav" "$WORK/encode/out$n.mp3" --bitrate 160
    ENC_CPU=$(calc "$ENC_CPU + $CPU")
  done
  ENC_SHARE=$(calc "$ENC_CPU / $DURATION")
  printf 'encoder: CPU share %6.2f %%  (%.2f s CPU for 8 x %d s)\n' "$(calc "$ENC_SHARE * 100")" "$ENC_CPU" "$DURATION"
  SIM_RATIOS+=("$(calc "$SIM_SHARE / $ENC_SHARE")")
  ((HAVE_PULSE)) && PULSE_RATIOS+=("$(calc "$PULSE_SHARE / $ENC_SHARE")")
  printf 'ratios: virtual devices %.3f%s\n' "${SIM_RATIOS[-1]}" \
    "$( ((HAVE_PULSE)) && printf ', PulseAudio %.3f' "${PULSE_RATIOS[-1]}")"
done

# 5. Start to first tick, each on a first start with a bare varn.ini.
FIRST=()
for n in $(seq 1 "$STARTS"); do
  mkdir "$WORK/start$n"
  printf '[conf]\nNumRec=8\n' >"$WORK/start$n/varn.ini"
  timed start "$VARN" --headless --audio sim --duration 1 --app-folder "$WORK/start$n"
  [[ $(cat "$WORK/start.err") =~ $SUMMARY_RE ]] || fail "no summary line from start-up run $n"
  FIRST+=("${BASH_REMATCH[4]}")
done
FIRST_MEDIAN=$(printf '%s\n' "${FIRST[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "first tick (median of $STARTS): $FIRST_MEDIAN ms; runs: ${FIRST[*]}"
echo "load average after:  $(load)"

SIM_RATIO=$(median "${SIM_RATIOS[@]}")
if ((HAVE_PULSE)); then
  PULSE_RATIO=$(median "${PULSE_RATIOS[@]}")
  GOAL_RATIO=$PULSE_RATIO
  RATIOS=$(printf 'PulseAudio %.3f, virtual devices %.3f (medians of %d rounds)' "$PULSE_RATIO" "$SIM_RATIO" "$ROUNDS")
else
  GOAL_RATIO=$SIM_RATIO
  RATIOS=$(printf 'virtual devices %.3f (median of %d rounds; no PulseAudio)' "$SIM_RATIO" "$ROUNDS")
fi
true_that "$GOAL_RATIO <= 1.15" || echo "GOAL MISSED: varn needs $GOAL_RATIO times the encoder's CPU (goal <= 1.15)"
true_that "$WORST_LONGEST < 20" || echo "GOAL MISSED: longest tick $WORST_LONGEST ms (goal < 20 ms)"
((BAD == 0)) || echo "GOAL MISSED: overruns or frames lost (goal 0)"
true_that "$FIRST_MEDIAN < 300" || echo "GOAL MISSED: first tick after $FIRST_MEDIAN ms (goal < 300 ms)"
echo "headless_bench: varn / encoder CPU $RATIOS (goal <= 1.15 on PulseAudio); longest tick $WORST_LONGEST ms (goal < 20); overruns and lost frames $BAD (goal 0); first tick $FIRST_MEDIAN ms (goal < 300)"
exit 0

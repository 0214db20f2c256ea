#!/usr/bin/env bash
# window_bench.sh: what drawing eight channel panels costs on top of the
# headless monitor.
#
# Usage:  bench/window_bench.sh [SECONDS]
#
#   SECONDS              length of each run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH        the varn binary (default: build build-bench/varn in Release)
#   VARN_BENCH_ROUNDS=N  pairs of runs (default 3)
#   VARN_BENCH_DISPLAY=N the private Xvfb display's number (default: one of 90..189)
#
# Eight virtual channels, 48000 Hz stereo, archived as MP3 at 160 kbit/s,
# fed "Sim Programme", "Sim Pink Noise" and "Sim Tone 1kHz", run for SECONDS
# once with --headless, then once with the window on a private Xvfb display
# (1600 x 1000, 96 DPI), stopped by SIGTERM; that pair N times. bash's `time`
# gives each run's CPU time; the exit summary line gives the tick figures.
# A virtual machine's CPU speed drifts by a few per cent of a core between
# runs, so each pair gives one difference and the median of them is the
# figure; the spread is printed beside it.
#
# Goals: the window's CPU share at most 5 % of a core above the headless
# share (median of the pairs); longest tick with the window < 5 ms (the
# longest of all window runs). The last line states both figures with their
# goals; a missed goal also prints "GOAL MISSED". The exit status is non-zero
# only when a run failed.
set -euo pipefail

BENCH_NAME=window_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
command -v Xvfb >/dev/null || fail "Xvfb is needed (scripts/setup.sh installs it)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-wbench.XXXXXX")
XPID=""
cleanup() {
  [[ -n $XPID ]] && kill "$XPID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

write_ini() {
  local inputs=("Sim Programme" "Sim Pink Noise" "Sim Tone 1kHz") n
  mkdir -p "$1"
  {
    echo "[conf]"
    echo "NumRec=8"
    echo "ShowRecButton=0"
    echo "WindowLeft=0"
    echo "WindowTop=0"
    echo "WindowWidth=24000"
    echo "WindowHeight=15000"
    for n in 1 2 3 4 5 6 7 8; do
      echo "DeviceName_$n=${inputs[$(((n - 1) % 3))]}"
      echo "RecFreq_$n=48000"
      echo "RecMode_$n=3"
      echo "BitRate_$n=160"
    done
  } >"$1/varn.ini"
}

SUMMARY_RE='varn: ([0-9]+) ticks, mean ([0-9.]+) ms, longest ([0-9.]+) ms'

# run NAME: one monitored run; sets SHARE, TICKS, MEAN, LONGEST.
run() {
  local name=$1 TIMEFORMAT='%3R %3U %3S' r u s pid
  shift
  write_ini "$WORK/$name"
  {
    time {
      "$@" --audio sim --app-folder "$WORK/$name" >"$WORK/$name.out" 2>"$WORK/$name.err" &
      pid=$!
      sleep "$DURATION"
      kill -TERM "$pid" 2>/dev/null || true  # gone already: the summary check says so
      wait "$pid" || fail "$name run failed: $(tail -n 3 "$WORK/$name.err")"
    }
  } 2>"$WORK/$name.time"
  read -r r u s <"$WORK/$name.time"
  SHARE=$(calc "($u + $s) / $r")
  [[ $(cat "$WORK/$name.err") =~ $SUMMARY_RE ]] || fail "no summary line from the $name run"
  TICKS=${BASH_REMATCH[1]} MEAN=${BASH_REMATCH[2]} LONGEST=${BASH_REMATCH[3]}
}

ROUNDS=${VARN_BENCH_ROUNDS:-3}
[[ $ROUNDS =~ ^[0-9]+$ && $ROUNDS -gt 0 ]] || fail "VARN_BENCH_ROUNDS must be a whole number > 0"
echo "varn window bench: $ROUNDS x 2 runs of $DURATION s, binary $VARN"
echo "load average before: $(load)"

DISPLAY_NUM=${VARN_BENCH_DISPLAY:-$((90 + RANDOM % 100))}
[[ $DISPLAY_NUM =~ ^[0-9]+$ ]] || fail "VARN_BENCH_DISPLAY must be a display number"
Xvfb ":$DISPLAY_NUM" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
XPID=$!
sleep 1

ADDED_ALL=()
W_LONGEST=0
for round in $(seq "$ROUNDS"); do
  run headless "$VARN" --headless
  H_SHARE=$SHARE
  printf 'round %d headless: CPU share %6.2f %%, %d ticks, mean %s ms, longest %s ms\n' \
    "$round" "$(calc "$SHARE * 100")" "$TICKS" "$MEAN" "$LONGEST"
  DISPLAY=":$DISPLAY_NUM" QT_QPA_PLATFORM=xcb run window env DISPLAY=":$DISPLAY_NUM" \
    QT_QPA_PLATFORM=xcb "$VARN"
  printf 'round %d window:   CPU share %6.2f %%, %d ticks, mean %s ms, longest %s ms\n' \
    "$round" "$(calc "$SHARE * 100")" "$TICKS" "$MEAN" "$LONGEST"
  ADDED_ALL+=("$(calc "($SHARE - $H_SHARE) * 100")")
  true_that "$LONGEST > $W_LONGEST" && W_LONGEST=$LONGEST
done

ADDED=$(median "${ADDED_ALL[@]}")
SPREAD=$(printf '%s\n' "${ADDED_ALL[@]}" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f to %.2f", lo, hi }')
echo "load average after:  $(load)   (cores: $(nproc))"
echo "drawing adds, per pair (% of a core): ${ADDED_ALL[*]}"
true_that "$ADDED <= 5" || echo "GOAL MISSED: drawing adds $ADDED % of a core (goal <= 5 %)"
true_that "$W_LONGEST < 5" || echo "GOAL MISSED: longest tick with the window $W_LONGEST ms (goal < 5 ms)"
printf 'window_bench: drawing adds %.2f %% of a core (median of %d pairs, %s; goal <= 5 %%), longest tick with the window %s ms (goal < 5 ms)\n' \
  "$ADDED" "$ROUNDS" "$SPREAD" "$W_LONGEST"
exit 0

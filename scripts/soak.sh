#!/usr/bin/env bash
# soak.sh: runs the headless monitor on eight virtual lines for a few minutes
# and checks that it neither grows nor leaks, loses no audio, stops cleanly on
# SIGTERM and leaves sound archive files.
#
# Usage:  scripts/soak.sh [--long] [--binary PATH] [--keep]
#
#   (no option)     a 60 s run: the CI form
#   --long          a 600 s run
#   --binary PATH   the varn executable to soak (default: build/varn beside
#                   this script's folder; it is not built here)
#   --keep          keep the temporary program folder and print where it is
#
# The run:
#   A fresh temporary program folder gets a varn.ini with eight channels, all
#   48000 Hz stereo 16-bit and archived: channels 1-4 as MP3 at 160 kbit/s and
#   channels 5-8 as WAV, each group fed by "Sim Programme", "Sim Pink Noise",
#   "Sim Tone 1kHz" and "Sim Silence" in that order, so every input is both
#   encoded and written raw. `varn --headless --audio sim` runs on it without
#   --duration; every 5 s the script reads the process's resident memory
#   (VmRSS and Threads in /proc/PID/status) and counts /proc/PID/fd. After the
#   run's length it sends SIGTERM (the signal path a service manager uses) and
#   waits up to 30 s for the process to end.
#
# It passes when every one of these holds:
#   - memory: RSS at the end <= RSS at the baseline + max(FLOOR, 3 % of RSS
#     at the baseline); the baseline is 20 s into the 60 s run (FLOOR 1024 kB)
#     and 60 s into the --long run (FLOOR 2048 kB). The start is left out
#     because the process is still settling then (capture rings, encoder and
#     disk buffers, malloc arenas of the backend threads are touched for the
#     first time; it is done within 5-10 s). The tolerance covers what a
#     steady process still moves: glibc keeps freed blocks in per-thread arenas
#     and returns them to the kernel only now and then, and the first hourly
#     file change or a late first event touches a few more pages: tens to a
#     few hundred kB. The process holds about 43 MB once settled, so 3 %
#     (1.3 MB) is the tolerance of the 60 s run; the floor only matters for
#     --long, the percentage for a build that needs far more (a sanitizer
#     build). A leak of one archive buffer (tens of kB) a second shows within
#     the 60 s run (1.3 MB in 40 s: 33 kB/s), one of ~100 bytes a tick (100
#     ticks a second) within the --long run; the growth per minute is printed
#     either way.
#   - descriptors: the count at the end equals the count at the baseline, and
#     no later sample is more than 2 away from it (one file being swapped for
#     the next may show for a moment; a steady climb may not). When the last
#     sample differs by 1 or 2 it is read again twice, 1 s apart, before it
#     counts as a difference.
#   - no "Buffer irregular", "Capture overrun" or "Trapped error" line in the
#     diagnostics files (varn_data/varn*.err), nor "Trapped error" on stderr;
#   - the summary line on stderr is there and says 0 frames lost;
#   - the process was still running when SIGTERM came, and exited with 0;
#   - the last line of the newest event file (varn_data/varn*.txt) ends with
#     "**************正常終了*****************";
#   - every channel left at least one archive file in varn_data/chN/ with the
#     extension it was set to; every WAV file starts "RIFF....WAVEfmt " with
#     its RIFF size = file length - 8 and its data size = file length - 44;
#     every MP3 file is non-empty.
#
# Output: the samples as a table, one "ok:" or "FAIL:" line per check, and a
# last line "soak: 1 passed, 0 failed" (exit 0) or "soak: 0 passed, 1 failed"
# (exit 1). A bad argument exits 2.
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DURATION=60
BINARY=$ROOT/build/varn
KEEP=0
INTERVAL=5
BASELINE=20
FLOOR=1024
while (($# > 0)); do
  case $1 in
    --long) DURATION=600 BASELINE=60 FLOOR=2048 ;;
    --binary)
      [[ $# -ge 2 ]] || { echo "soak: --binary needs a path" >&2; exit 2; }
      BINARY=$2
      shift
      ;;
    --keep) KEEP=1 ;;
    -h | --help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
  shift
done

FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }
ok() { echo "ok:   $*"; }
finish() {
  if ((FAILED == 0)); then
    echo "soak: 1 passed, 0 failed"
    exit 0
  fi
  echo "soak: 0 passed, 1 failed"
  exit 1
}

if [[ ! -x $BINARY ]]; then
  fail "no executable at $BINARY (build it, or give --binary PATH)"
  finish
fi
BINARY=$(realpath "$BINARY")

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-soak.XXXXXX")
APP=$WORK/app
DATA=$APP/varn_data
mkdir "$APP"
PID=
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  # Only the monitor this script started, by its id.
  if [[ -n $PID ]] && kill -0 "$PID" 2>/dev/null; then kill -KILL "$PID" 2>/dev/null; fi
  if ((KEEP == 1)); then echo "soak: kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

INPUTS=("Sim Programme" "Sim Pink Noise" "Sim Tone 1kHz" "Sim Silence")
declare -A EXT
{
  echo "[conf]"
  echo "NumRec=8"
  for n in 1 2 3 4 5 6 7 8; do
    echo "DeviceName_$n=${INPUTS[$(((n - 1) % 4))]}"
    echo "RecFreq_$n=48000"
    echo "RecMode_$n=3"
    if ((n <= 4)); then echo "BitRate_$n=160"; else echo "BitRate_$n=0"; fi
    echo "ArcOn_$n=1"
  done
} >"$APP/varn.ini"
for n in 1 2 3 4; do EXT[$n]=mp3; done
for n in 5 6 7 8; do EXT[$n]=wav; done

echo "varn soak: $DURATION s, 8 channels 48000 Hz stereo (1-4 MP3 160 kbit/s, 5-8 WAV), binary $BINARY"

now() { date +%s.%N; }
calc() { awk "BEGIN { print $* }"; }
true_that() { awk "BEGIN { exit !($*) }"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$PID/status" 2>/dev/null; }
threads() { awk '/^Threads:/ { print $2 }' "/proc/$PID/status" 2>/dev/null; }
fd_count() {
  local fds
  fds=$(ls -1 "/proc/$PID/fd" 2>/dev/null) || return 1
  wc -l <<<"$fds"
}

"$BINARY" --headless --audio sim --app-folder "$APP" >"$WORK/stdout" 2>"$WORK/stderr" &
PID=$!

# Wait for the exec, so the first sample is of varn and not of the forked shell.
for _ in $(seq 100); do
  [[ $(readlink "/proc/$PID/exe" 2>/dev/null) == "$BINARY" ]] && break
  kill -0 "$PID" 2>/dev/null || break
  sleep 0.05
done
START=$(now)

T=() RSS=() FDS=() THR=()
ALIVE=1
LAST_T=0
for ((t = 0; t <= DURATION; t += INTERVAL)); do
  delay=$(calc "$START + $t - $(now)")
  true_that "$delay > 0" && sleep "$delay"
  if ! kill -0 "$PID" 2>/dev/null; then
    ALIVE=0
    break
  fi
  LAST_T=$t
  T+=("$t") RSS+=("$(rss_kb)") FDS+=("$(fd_count)") THR+=("$(threads)")
done

# A last descriptor count of 1 or 2 off the baseline one may be a file change
# caught half-way: read it again before judging.
BASE_I=$((BASELINE / INTERVAL))
LAST_I=$((${#T[@]} - 1))
if ((ALIVE == 1 && LAST_I >= BASE_I)); then
  for _ in 1 2; do
    d=$((FDS[LAST_I] - FDS[BASE_I]))
    ((d != 0 && d >= -2 && d <= 2)) || break
    sleep 1
    FDS[LAST_I]=$(fd_count)
  done
fi

STATUS=
if ((ALIVE == 1)); then
  kill -TERM "$PID"
  for _ in $(seq 300); do
    kill -0 "$PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$PID" 2>/dev/null; then
    kill -KILL "$PID" 2>/dev/null
    wait "$PID" 2>/dev/null
    STATUS=killed
  else
    wait "$PID"
    STATUS=$?
  fi
else
  wait "$PID"
  STATUS=$?
fi
PID=

# The table.
echo
printf '%6s  %10s  %5s  %7s\n' "t (s)" "RSS (kB)" "fds" "threads"
for i in "${!T[@]}"; do
  printf '%6s  %10s  %5s  %7s\n' "${T[$i]}" "${RSS[$i]}" "${FDS[$i]}" "${THR[$i]}"
done
echo

# Checks.
if ((ALIVE == 0)); then
  fail "varn ended on its own between $LAST_T and $((LAST_T + INTERVAL)) s (status $STATUS) instead of running until SIGTERM"
elif [[ $STATUS == killed ]]; then
  fail "varn did not end within 30 s of SIGTERM (killed)"
elif [[ $STATUS != 0 ]]; then
  fail "exit status $STATUS after SIGTERM (want 0)"
else
  ok "exit status 0 after SIGTERM at $DURATION s"
fi

if ((ALIVE == 1 && LAST_I >= BASE_I)); then
  RBASE=${RSS[$BASE_I]} REND=${RSS[$LAST_I]}
  TOL=$(calc "int(($RBASE * 0.03 > $FLOOR) ? $RBASE * 0.03 : $FLOOR)")
  GROWTH=$((REND - RBASE))
  RATE=$(calc "$GROWTH / (($DURATION - $BASELINE) / 60)")
  msg="RSS ${RSS[0]} kB at 0 s, $RBASE kB at $BASELINE s, $REND kB at $DURATION s: $GROWTH kB after $BASELINE s ($(printf '%.0f' "$RATE") kB/min), tolerance $TOL kB"
  if ((GROWTH <= TOL)); then ok "$msg"; else fail "$msg"; fi

  FBASE=${FDS[$BASE_I]} FEND=${FDS[$LAST_I]} LOW=${FDS[$BASE_I]} HIGH=${FDS[$BASE_I]}
  for ((i = BASE_I; i <= LAST_I; i++)); do
    ((FDS[i] < LOW)) && LOW=${FDS[i]}
    ((FDS[i] > HIGH)) && HIGH=${FDS[i]}
  done
  msg="fds ${FDS[0]} at 0 s, $FBASE at $BASELINE s, $FEND at $DURATION s (range $LOW-$HIGH after $BASELINE s)"
  if ((FEND != FBASE)); then
    fail "$msg: the end count differs from the $BASELINE s count"
  elif ((LOW < FBASE - 2 || HIGH > FBASE + 2)); then
    fail "$msg: a sample strayed more than 2 from the $BASELINE s count"
  else
    ok "$msg"
  fi
else
  fail "too few samples to judge memory and descriptors"
fi

ERRFILES=("$DATA"/varn*.err)
[[ -e ${ERRFILES[0]} ]] || ERRFILES=()
count_lines() { # count_lines TEXT: lines holding TEXT in the diagnostics files
  if ((${#ERRFILES[@]} == 0)); then echo 0; else cat "${ERRFILES[@]}" | grep -c -F -- "$1"; fi
}
for what in "Buffer irregular" "Capture overrun" "Trapped error"; do
  n=$(count_lines "$what")
  if ((n == 0)); then
    ok "no \"$what\" line in the diagnostics file"
  else
    fail "$n \"$what\" line(s) in the diagnostics file, the first: $(cat "${ERRFILES[@]}" | grep -m1 -F -- "$what" | tr -d '\r')"
  fi
done
if grep -q -F "Trapped error" "$WORK/stderr"; then
  fail "\"Trapped error\" on stderr: $(grep -m1 -F "Trapped error" "$WORK/stderr")"
fi

SUMMARY_RE='varn: ([0-9]+) ticks, mean ([0-9.]+) ms, longest ([0-9.]+) ms; first tick (-?[0-9.]+) ms after start; ([0-9]+) frames lost to overruns'
if [[ $(cat "$WORK/stderr") =~ $SUMMARY_RE ]]; then
  TICKS=${BASH_REMATCH[1]} LOST=${BASH_REMATCH[5]}
  msg="$TICKS ticks, mean ${BASH_REMATCH[2]} ms, longest ${BASH_REMATCH[3]} ms, first tick ${BASH_REMATCH[4]} ms; $LOST frames lost"
  if ((LOST == 0)); then ok "$msg"; else fail "$msg"; fi
else
  fail "no summary line on stderr; its end: $(tail -n 3 "$WORK/stderr" | tr '\n' '|')"
fi

END_LINE="**************正常終了*****************"
EVENTS=$(find "$DATA" -maxdepth 1 -name 'varn*.txt' 2>/dev/null | sort | tail -n 1)
if [[ -z $EVENTS ]]; then
  fail "no event file in $DATA"
else
  LAST=$(tail -n 1 "$EVENTS" | tr -d '\r')
  if [[ $LAST == *"$END_LINE" ]]; then
    ok "the event file $(basename "$EVENTS") ends with the end line"
  else
    fail "the event file $(basename "$EVENTS") ends with \"$LAST\", not the end line"
  fi
fi

# le32 FILE OFFSET: the little-endian 32-bit unsigned number at OFFSET.
le32() { od -An -tu4 --endian=little -j "$2" -N 4 "$1" | tr -d ' '; }
WAVS=0 MP3S=0 BAD=0
for n in 1 2 3 4 5 6 7 8; do
  files=("$DATA/ch$n"/*."${EXT[$n]}")
  if [[ ! -e ${files[0]} ]]; then
    fail "ch$n left no .${EXT[$n]} archive file"
    BAD=$((BAD + 1))
    continue
  fi
  for f in "$DATA/ch$n"/*; do
    [[ -f $f ]] || continue
    len=$(stat -c %s "$f")
    case $f in
      *.wav)
        WAVS=$((WAVS + 1))
        tags=$(od -An -c -j 0 -N 4 "$f" | tr -d ' ')$(od -An -c -j 8 -N 8 "$f" | tr -d ' ')
        riff=$(le32 "$f" 4) data=$(le32 "$f" 40)
        if [[ $tags != RIFFWAVEfmt ]] || ((len < 44 || riff != len - 8 || data != len - 44)); then
          fail "bad WAV ${f#"$DATA"/}: length $len, RIFF size $riff, data size $data"
          BAD=$((BAD + 1))
        fi
        ;;
      *.mp3)
        MP3S=$((MP3S + 1))
        if ((len == 0)); then
          fail "empty MP3 ${f#"$DATA"/}"
          BAD=$((BAD + 1))
        fi
        ;;
      *)
        fail "unexpected file ${f#"$DATA"/}"
        BAD=$((BAD + 1))
        ;;
    esac
  done
done
((BAD == 0)) && ok "archive files: $WAVS WAV (headers match their lengths), $MP3S MP3 (non-empty)"

finish

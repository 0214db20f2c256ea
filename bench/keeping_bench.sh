#!/usr/bin/env bash
# keeping_bench.sh: whether keeping the archive (retention and the
# free-space guard) holds up the update tick. The sweeps list, measure and
# delete on a thread of their own; the tick only asks for them and writes
# what they report.
#
# Usage:  bench/keeping_bench.sh [SECONDS]
#
#   SECONDS            length of each monitored run (default 20; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: a Release build in build-bench/)
#   VARN_BENCH_FILES   old archive files placed in each of the eight chN folders (default 2000)
#
# Two headless runs of eight 48000 Hz stereo lines (virtual tone, WAV
# archive) in fresh folders: "plain" with an empty archive and nothing to
# keep; "sweeping" with VARN_BENCH_FILES hand-placed old WAV files per line
# (a month and more of hourly names, 0.1 s of audio each), ArchiveKeepDays=1
# and ArchiveMinFreeMB=1, so the start-up sweep lists and deletes them all
# while the lines record. Goal: the longest tick of the sweeping run is
# under 20 ms (the headless bench's goal) and every old file is gone.
set -euo pipefail

BENCH_NAME=keeping_bench
VARN_BENCH_DURATION=${VARN_BENCH_DURATION:-20}
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
FILES=${VARN_BENCH_FILES:-2000}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

eight_wav_lines() {
  mkdir -p "$1"
  {
    echo "[conf]"
    echo "NumRec=8"
    for n in 1 2 3 4 5 6 7 8; do
      echo "DeviceName_$n=Sim Tone 1kHz"
      echo "RecFreq_$n=48000"
      echo "RecMode_$n=3"
      echo "BitRate_$n=0"
      echo "ArcOn_$n=1"
    done
    shift
    printf '%s\n' "$@"
  } >"$1/varn.ini"
}

# run NAME FOLDER: one headless run; sets LONGEST and MEAN.
run() {
  timed "$1" "$VARN" --headless --audio sim --duration "$DURATION" --app-folder "$2"
  [[ $(cat "$WORK/$1.err") =~ $SUMMARY_RE ]] || fail "no summary line from the $1 run"
  MEAN=${BASH_REMATCH[2]} LONGEST=${BASH_REMATCH[3]}
  printf '%-9s %d ticks, mean %s ms, longest %s ms\n' "$1:" "${BASH_REMATCH[1]}" "$MEAN" "$LONGEST"
}

echo "varn keeping bench: $DURATION s, $FILES old files per line, binary $VARN, load $(load)"
eight_wav_lines "$WORK/plain"
run plain "$WORK/plain"
PLAIN=$LONGEST

eight_wav_lines "$WORK/sweep" "ArchiveKeepDays=1" "ArchiveMinFreeMB=1"
# A tenth of a second of 8000 Hz mono silence (small: the files' number is
# what the sweep works through), copied under old hourly names.
python3 - "$WORK/old.wav" <<'PY'
import sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(bytes(2 * 800))
PY
python3 - "$WORK/sweep/varn_data" "$WORK/old.wav" "$FILES" <<'PY'
import datetime, os, shutil, sys
folder, source, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
start = datetime.datetime(2020, 1, 1)
for ch in range(1, 9):
    d = os.path.join(folder, "ch%d" % ch)
    os.makedirs(d, exist_ok=True)
    for i in range(count):
        name = (start + datetime.timedelta(hours=i)).strftime("%Y%m%d%H%M%S") + ".wav"
        shutil.copyfile(source, os.path.join(d, name))
PY
run sweeping "$WORK/sweep"
SWEEP=$LONGEST
LEFT=$(find "$WORK/sweep/varn_data" -name '2020*.wav' | wc -l)
DELETED_LINE=$(grep -h "アーカイブ削除" "$WORK"/sweep/varn_data/*.txt 2>/dev/null | head -n 1 || true)
echo "event line: ${DELETED_LINE:-none}"

VERDICT=met
true_that "$SWEEP < 20" && [[ $LEFT -eq 0 ]] || VERDICT="GOAL MISSED"
echo "keeping_bench: goal longest tick < 20 ms while a sweep deletes $((FILES * 8)) files, all deleted: longest $SWEEP ms (plain run $PLAIN ms), $LEFT left; $VERDICT"

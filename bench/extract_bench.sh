#!/usr/bin/env bash
# extract_bench.sh: how much CPU `varn extract` takes for one hour that
# spans two hourly archive files, against ffmpeg cutting and joining the
# same range (concat demuxer, -ss/-t), in three forms: WAV sources to WAV,
# MP3 sources copied frame by frame (--copy / -c copy), and MP3 sources
# decoded to WAV.
#
# Usage:  bench/extract_bench.sh [SECONDS]
#
#   SECONDS            length of each of the two files (default 3600); the
#                      range is SECONDS long from the middle of the first
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder, removed at the end):
#  1. Two SECONDS long 48000 Hz stereo 16-bit WAV files of pink noise
#     (ffmpeg's anoisesrc, fixed seeds) placed as the archive files of
#     channel 1 at 10:00:00 and 11:00:00 (with SECONDS 3600), and the same
#     two encoded at 128 kbit/s by `varn encode` (the archive's encoder) as
#     another program folder's MP3 archive.
#  2. One run of each: `varn extract` of the range, and
#     `ffmpeg -f concat -safe 0 -ss S -t D -i LIST` with `-c copy` (WAV, MP3)
#     or `-c:a pcm_s16le` (MP3 decoded); bash's `time` gives the CPU time
#     (user+sys). Outputs go to the temporary folder and are removed after
#     each run, so the disk holds the sources and one output at a time.
#  3. One summary line with the six figures and the goal.
#
# Goal: varn takes no more CPU than ffmpeg in each of the three forms. A
# missed goal prints a "GOAL MISSED" line; the exit status is non-zero only
# when a run failed. Run it on a quiet machine: the load average is printed.
set -euo pipefail

BENCH_NAME=extract_bench
VARN_BENCH_DURATION=${VARN_BENCH_DURATION:-3600}
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
command -v ffmpeg >/dev/null || fail "ffmpeg is needed (scripts/setup.sh installs it)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "keeping $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi
# File names are local times: the benchmark fixes the zone.
export TZ=UTC0

echo "varn extract vs ffmpeg: one range of $DURATION s over two $DURATION s 48000 Hz stereo files, binary $VARN"
LOAD_BEFORE=$(load)

WAVS=$WORK/wav/varn_data/ch1
MP3S=$WORK/mp3/varn_data/ch1
mkdir -p "$WAVS" "$MP3S"
FIRST=20261206100000
SECOND=$(date -u -d "2026-12-06 10:00:00 UTC + $DURATION seconds" +%Y%m%d%H%M%S)
for pair in "$FIRST 1" "$SECOND 2"; do
  read -r name seed <<<"$pair"
  ffmpeg -v error -f lavfi -i "anoisesrc=r=48000:c=pink:a=0.3:seed=$seed:d=$DURATION" \
    -ac 2 -c:a pcm_s16le -map_metadata -1 -fflags +bitexact "$WAVS/$name.wav" ||
    fail "ffmpeg could not make the test WAV"
  "$VARN" --app-folder "$WORK/mp3" encode "$WAVS/$name.wav" "$MP3S/$name.mp3" --bitrate 128 \
    >/dev/null 2>&1 || fail "varn encode failed"
done

HALF=$((DURATION / 2))
FROM=$(date -u -d "2026-12-06 10:00:00 UTC + $HALF seconds" '+%Y-%m-%d %H:%M:%S')
printf "file '%s'\nfile '%s'\n" "$WAVS/$FIRST.wav" "$WAVS/$SECOND.wav" >"$WORK/wav.txt"
printf "file '%s'\nfile '%s'\n" "$MP3S/$FIRST.mp3" "$MP3S/$SECOND.mp3" >"$WORK/mp3.txt"

# run FORM: one varn run and one ffmpeg run; sets V_FORM and F_FORM.
declare -A V F
run() {
  local form=$1 folder list ext varn_args=() ff_args=()
  case $form in
    wav) folder=$WORK/wav list=$WORK/wav.txt ext=wav ff_args=(-c copy) ;;
    copy) folder=$WORK/mp3 list=$WORK/mp3.txt ext=mp3 varn_args=(--copy) ff_args=(-c copy) ;;
    decoded) folder=$WORK/mp3 list=$WORK/mp3.txt ext=wav ff_args=(-c:a pcm_s16le) ;;
  esac
  timed "varn-$form" "$VARN" --app-folder "$folder" extract --channel 1 --from "$FROM" \
    --duration "$DURATION" "${varn_args[@]}" "$WORK/out.$ext"
  V[$form]=$CPU
  [[ -s $WORK/out.$ext ]] || fail "varn wrote no $form output"
  rm -f "$WORK/out.$ext"
  timed "ffmpeg-$form" ffmpeg -v error -nostdin -threads 1 -f concat -safe 0 -ss "$HALF" \
    -t "$DURATION" -i "$list" "${ff_args[@]}" -y "$WORK/out.$ext"
  F[$form]=$CPU
  rm -f "$WORK/out.$ext"
}
for form in wav copy decoded; do run "$form"; done

echo "load average before: $LOAD_BEFORE   after: $(load)   (cores: $(nproc))"
MISSED=()
for form in wav copy decoded; do
  true_that "${V[$form]} <= ${F[$form]}" || MISSED+=("$form")
done
printf 'extract_bench: CPU s for %d s over two files, varn/ffmpeg: WAV %.2f/%.2f, MP3 copy %.2f/%.2f, MP3 decoded %.2f/%.2f (goal: varn <= ffmpeg in each)\n' \
  "$DURATION" "${V[wav]}" "${F[wav]}" "${V[copy]}" "${F[copy]}" "${V[decoded]}" "${F[decoded]}"
((${#MISSED[@]} == 0)) || echo "GOAL MISSED: varn took more CPU than ffmpeg for ${MISSED[*]}"
exit 0

#!/usr/bin/env bash
# stream_bench.sh: how much CPU varn needs to watch eight network streams,
# against ffmpeg decoding the same eight streams and varn watching eight
# sound-card lines.
#
# Usage:  bench/stream_bench.sh [SECONDS]
#
#   SECONDS            length of each run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Steps (everything happens in a fresh temporary folder):
#  1. Debian's icecast2 on a free loopback port (as "nobody": it refuses to
#     run as root), fed by eight ffmpeg source clients, each a 128 kbit/s MP3
#     of 44100 Hz stereo pink-ish noise on a mount of its own. Their CPU is
#     the server side's and not counted.
#  2. At the same time, each measured by bash's `time` (user+sys):
#     - varn --headless --audio sim with eight lines on the eight streams
#       (44100 Hz stereo, MP3 archive at the default bit rate);
#     - eight `ffmpeg -i URL -t SECONDS -f null -` (the decoding alone);
#     - varn --headless --audio sim with eight lines on "Sim Pink Noise",
#       the same settings otherwise: what eight sound-card lines cost.
#  3. One summary line with the figures and the goal.
#
# Goal: varn's CPU on eight streams <= 1.2 x ffmpeg's decoding + varn's CPU
# on eight sound-card lines. A missed goal prints a "GOAL MISSED" line; the
# exit status is non-zero only when a run failed.
set -euo pipefail

BENCH_NAME=stream_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
for p in icecast2 ffmpeg python3; do
  command -v $p >/dev/null || fail "$p is needed (scripts/setup.sh installs it)"
done
STREAMS=8

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-bench.XXXXXX")
chmod 0777 "$WORK"
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "keeping $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

echo "varn streams vs ffmpeg: $STREAMS MP3 streams at 128 kbit/s for $DURATION s, binary $VARN"
LOAD_BEFORE=$(load)

make_noise_wav "$WORK/noise48.wav" 20
ffmpeg -loglevel error -i "$WORK/noise48.wav" -ar 44100 "$WORK/noise.wav"

PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$WORK/icecast.xml" <<XML
<icecast><limits><clients>100</clients><sources>16</sources><burst-size>65536</burst-size></limits>
<authentication><source-password>pw</source-password><admin-user>admin</admin-user>
<admin-password>pw</admin-password></authentication><hostname>127.0.0.1</hostname>
<listen-socket><port>$PORT</port><bind-address>127.0.0.1</bind-address></listen-socket>
<paths><basedir>$WORK</basedir><logdir>$WORK</logdir><webroot>/usr/share/icecast2/web</webroot>
<adminroot>/usr/share/icecast2/admin</adminroot></paths>
<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>1</loglevel></logging>
<security><chroot>0</chroot><changeowner><user>nobody</user><group>nogroup</group></changeowner></security>
</icecast>
XML
icecast2 -c "$WORK/icecast.xml" >"$WORK/icecast.out" 2>&1 &
PIDS+=($!)
for i in $(seq 1 $STREAMS); do
  ffmpeg -nostdin -loglevel error -re -stream_loop -1 -i "$WORK/noise.wav" -c:a libmp3lame -b:a 128k \
    -content_type audio/mpeg -f mp3 "icecast://source:pw@127.0.0.1:$PORT/s$i.mp3" 2>"$WORK/source$i.err" &
  PIDS+=($!)
done
# mount_up N: the mount sends audio (a live mount never ends: its first bytes do).
mount_up() { [[ $(curl -s -m 2 "http://127.0.0.1:$PORT/s$1.mp3" | head -c 100 | wc -c) == 100 ]]; }
for i in $(seq 1 $STREAMS); do
  for _ in $(seq 1 25); do mount_up "$i" && break; sleep 0.2; done
  mount_up "$i" || fail "the Icecast mount s$i.mp3 did not come up: $(cat "$WORK/source$i.err")"
done

# settings FOLDER streams|cards: a program folder with eight lines, on the
# eight streams or on the virtual pink noise; the streams are listed either way.
settings() {
  local i
  mkdir -p "$1"
  {
    echo "[conf]"
    echo "NumRec=$STREAMS"
    for i in $(seq 1 $STREAMS); do
      echo "Stream_$i=Stream $i|http://127.0.0.1:$PORT/s$i.mp3"
      if [[ $2 == streams ]]; then echo "DeviceName_$i=Stream $i"; else echo "DeviceName_$i=Sim Pink Noise"; fi
    done
  } >"$1/varn.ini"
}
settings "$WORK/streams" streams
settings "$WORK/cards" cards

# measure NAME CMD...: CPU seconds (user+sys) of CMD and its children into $WORK/NAME.cpu.
measure() {
  local name=$1 TIMEFORMAT='%3U %3S' u s
  shift
  { time "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"; } 2>"$WORK/$name.time" || {
    echo failed >"$WORK/$name.cpu"
    return 0
  }
  read -r u s <"$WORK/$name.time"
  calc "$u + $s" >"$WORK/$name.cpu"
}
ffmpeg_all() {
  local i pids=()
  for i in $(seq 1 $STREAMS); do
    ffmpeg -nostdin -loglevel error -i "http://127.0.0.1:$PORT/s$i.mp3" -t "$DURATION" -f null - &
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || return 1; done
}
measure varn_streams "$VARN" --app-folder "$WORK/streams" --headless --audio sim --duration "$DURATION" &
M1=$!
measure ffmpeg ffmpeg_all &
M2=$!
measure varn_cards "$VARN" --app-folder "$WORK/cards" --headless --audio sim --duration "$DURATION" &
M3=$!
wait $M1 $M2 $M3
for n in varn_streams ffmpeg varn_cards; do
  [[ $(cat "$WORK/$n.cpu") != failed ]] || fail "$n failed: $(tail -n 3 "$WORK/$n.err")"
done
STREAM_CPU=$(cat "$WORK/varn_streams.cpu")
FFMPEG_CPU=$(cat "$WORK/ffmpeg.cpu")
CARDS_CPU=$(cat "$WORK/varn_cards.cpu")
BUDGET=$(calc "1.2 * $FFMPEG_CPU + $CARDS_CPU")
FAILS=$(grep -c "入力デバイス異常" "$WORK/varn_streams.out" || true)
echo "load average before: $LOAD_BEFORE, after: $(load)"
echo "varn on streams: ${STREAM_CPU} s CPU ($FAILS device failures); ffmpeg decoding: ${FFMPEG_CPU} s; varn on sound-card lines: ${CARDS_CPU} s"
echo "stream_bench: $STREAMS streams x ${DURATION} s: varn ${STREAM_CPU} s CPU vs goal <= 1.2 x ${FFMPEG_CPU} + ${CARDS_CPU} = ${BUDGET} s"
if ! true_that "$STREAM_CPU <= $BUDGET"; then echo "stream_bench: GOAL MISSED"; fi

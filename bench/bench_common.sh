# Sourced by the benchmark scripts: the run length, the binary to measure and
# small helpers. Set BENCH_NAME before sourcing; it prefixes error messages.
# shellcheck shell=bash

DURATION=${1:-${VARN_BENCH_DURATION:-60}}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

fail() { echo "$BENCH_NAME: $*" >&2; exit 1; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
calc() { awk "BEGIN { print $* }"; }        # floating-point arithmetic
true_that() { awk "BEGIN { exit !($*) }"; } # floating-point comparison
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# timed NAME CMD...: runs CMD with its output in $WORK/NAME.out and .err;
# sets CPU (user+sys) and WALL, in seconds. Fails the script when CMD fails.
timed() {
  local name=$1 TIMEFORMAT='%3R %3U %3S' r u s
  shift
  { time "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"; } 2>"$WORK/$name.time" ||
    fail "$name failed: $(tail -n 3 "$WORK/$name.err")"
  read -r r u s <"$WORK/$name.time"
  CPU=$(calc "$u + $s")
  WALL=$r
}

[[ $DURATION =~ ^[0-9]+$ && $DURATION -gt 0 ]] || fail "SECONDS must be a whole number > 0"

# VARN_BIN, or a Release build of varn in build-bench/.
if [[ -n ${VARN_BIN:-} ]]; then
  VARN=$VARN_BIN
else
  cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARN_TESTS=OFF >/dev/null
  cmake --build "$ROOT/build-bench" --target varn >/dev/null
  VARN=$ROOT/build-bench/varn
fi
[[ -x $VARN ]] || fail "no executable at $VARN"

# make_noise_wav PATH SECONDS: 48000 Hz stereo pink-ish noise (fixed seed),
# the audio the benchmarks feed every line and time the encoder on.
make_noise_wav() {
  command -v python3 >/dev/null || fail "python3 is needed to make the test WAV"
  python3 - "$1" "$2" <<'EOF'
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
}

# write_eight_lines FOLDER DEVICE: a varn.ini for eight 48000 Hz stereo
# lines on DEVICE, each archived as MP3 at 160 kbit/s.
write_eight_lines() {
  local n
  mkdir -p "$1"
  {
    echo "[conf]"
    echo "NumRec=8"
    for n in 1 2 3 4 5 6 7 8; do
      echo "DeviceName_$n=$2"
      echo "RecFreq_$n=48000"
      echo "RecMode_$n=3"
      echo "BitRate_$n=160"
      echo "ArcOn_$n=1"
    done
  } >"$1/varn.ini"
}

# The summary line varn --headless writes to standard error at its end.
SUMMARY_RE='varn: ([0-9]+) ticks, mean ([0-9.]+) ms, longest ([0-9.]+) ms; first tick (-?[0-9.]+) ms after start; ([0-9]+) frames lost to overruns'

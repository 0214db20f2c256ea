# Sourced by the benchmark scripts: the run length, the binary to measure and
# small helpers. Set BENCH_NAME before sourcing; it prefixes error messages.
# shellcheck shell=bash

DURATION=${1:-${VARN_BENCH_DURATION:-60}}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

fail() { echo "$BENCH_NAME: $*" >&2; exit 1; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
calc() { awk "BEGIN { print $* }"; }        # floating-point arithmetic
true_that() { awk "BEGIN { exit !($*) }"; } # floating-point comparison

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

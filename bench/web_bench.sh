#!/usr/bin/env bash
# web_bench.sh: what the web console's live stream costs the monitor. Eight
# recording lines (virtual file devices, MP3 at 160 kbit/s, as in
# headless_bench.sh) run twice for SECONDS with the HTTP listener on: once
# alone, once with 50 clients reading /api/v1/live all the time.
#
# Usage:  bench/web_bench.sh [SECONDS]
#
#   SECONDS            length of each run (default 60; or VARN_BENCH_DURATION)
#   VARN_BIN=PATH      the varn binary to measure (default: build build-bench/varn
#                      in Release and use it)
#   VARN_BENCH_KEEP=1  keep the temporary folder for inspection
#
# Figures:
#  - extra CPU: the CPU time of the threads that serve the console (the
#    listener's connection threads "MHD-connection", its "MHD-listen", and
#    the hub "varn-live", from /proc/PID/task/*/schedstat, in nanoseconds)
#    while the 50 clients read, in % of one core. On a busy machine this is
#    the steady figure; the difference of the whole process's CPU time
#    (bash's `time`) with and without the clients is printed too, but two
#    runs at different times differ by more than the console costs when
#    other work shares the cores.
#  - age of the newest level: each levels message carries the wall-clock
#    time the program's thread published it ("published", ms); a client
#    takes its age when the message arrives. The 95th percentile over all
#    messages of all clients.
#  - the tick's longest time in each run (varn's summary line).
# The clients connect from 127.0.0.1 to 127.0.0.5, ten from each: one
# address holds at most 16 connections (the listener's limit).
#
# Goals: extra CPU <= 3 % of a core, age p95 <= 150 ms, longest tick with
# the clients < 20 ms as without them. The last line sums it up; a missed
# goal also prints a "GOAL MISSED" line.
set -euo pipefail

BENCH_NAME=web_bench
# shellcheck source=bench/bench_common.sh
. "$(dirname "$0")/bench_common.sh"
CLIENTS=50
((DURATION >= 15)) || fail "SECONDS must be at least 15"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/varn-web-bench.XXXXXX")
cleanup() {
  if [[ ${VARN_BENCH_KEEP:-0} == 1 ]]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# The live clients: read every stream until varn closes them, then print
# "messages ages-p50 ages-p95 ages-max failed".
cat >"$WORK/clients.py" <<'PY'
import re, selectors, socket, sys, time
port, count, until = int(sys.argv[1]), int(sys.argv[2]), time.time() + float(sys.argv[3])
published = re.compile(rb'"published":(\d+)')
sel = selectors.DefaultSelector()
failed = 0
for i in range(count):
    try:
        s = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.%d" % (1 + i % 5), 0))
    except OSError:
        failed += 1
        continue
    s.sendall(b"GET /api/v1/live HTTP/1.0\r\n\r\n")
    s.setblocking(False)
    sel.register(s, selectors.EVENT_READ, bytearray())
ages = []
while sel.get_map() and time.time() < until:
    for key, _ in sel.select(timeout=1.0):
        try:
            data = key.fileobj.recv(65536)
        except OSError:
            data = b""
        now = time.time() * 1000.0
        if not data:
            sel.unregister(key.fileobj)
            key.fileobj.close()
            continue
        buf = key.data
        buf += data
        while True:
            end = buf.find(b"\n\n")
            if end < 0:
                break
            message = bytes(buf[:end])
            del buf[:end + 2]
            if message.startswith(b"event: levels"):
                m = published.search(message)
                if m:
                    ages.append(now - int(m.group(1)))
ages.sort()
def pct(p):
    return ages[min(len(ages) - 1, int(p * len(ages)))] if ages else -1
print(len(ages), "%.1f" % pct(0.5), "%.1f" % pct(0.95), "%.1f" % (ages[-1] if ages else -1), failed)
PY

mkdir "$WORK/files"
make_noise_wav "$WORK/files/noise.wav" "$DURATION"

echo "varn web bench: $CLIENTS live clients, $DURATION s, eight lines, binary $VARN"
echo "load average before: $(load)   (cores: $(nproc))"

# run_alone / run_clients: one run of eight lines each, varn's CPU time taken
# by bash's `time` around varn alone (the clients are a process of their own).
run_alone() {
  local name=alone port
  port=$(free_port)
  write_eight_lines "$WORK/$name" "Sim File noise.wav"
  local TIMEFORMAT='%3U %3S' u s
  { time VARN_SIM_FILES="$WORK/files" "$VARN" --headless --audio sim --duration "$DURATION" \
      --app-folder "$WORK/$name" --http "$port" >"$WORK/$name.out" 2>"$WORK/$name.err"; } 2>"$WORK/$name.cpu" ||
    fail "the $name run failed: $(tail -n 3 "$WORK/$name.err")"
  read -r u s <"$WORK/$name.cpu"
  CPU_ALONE=$(calc "$u + $s")
  [[ $(cat "$WORK/$name.err") =~ $SUMMARY_RE ]] || fail "no summary line from the $name run"
  LONGEST_ALONE=${BASH_REMATCH[3]}
}

# console_ns PID: nanoseconds on the CPU of the threads serving the console.
console_ns() {
  local t sum=0 comm ns
  for t in /proc/"$1"/task/*; do
    comm=$(cat "$t/comm" 2>/dev/null) || continue
    case $comm in
      MHD-* | varn-live) ns=$(cut -d' ' -f1 "$t/schedstat" 2>/dev/null) && sum=$((sum + ns)) ;;
    esac
  done
  echo "$sum"
}

run_clients() {
  local name=clients port
  port=$(free_port)
  write_eight_lines "$WORK/$name" "Sim File noise.wav"
  local TIMEFORMAT='%3U %3S' u s
  (
    for _ in $(seq 200); do grep -q "console on" "$WORK/$name.err" 2>/dev/null && break; sleep 0.05; done
    python3 "$WORK/clients.py" "$port" "$CLIENTS" "$((DURATION - 3))" >"$WORK/$name.clients"
  ) &
  local clients_pid=$!
  # The console's threads, from 2 s after the start to 5 s before the end,
  # while every client reads (a thread's time goes with it when it ends).
  (
    local pid="" p
    for _ in $(seq 200); do
      for p in /proc/[0-9]*; do
        tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -qF -- "--app-folder $WORK/$name " && pid=${p#/proc/}
      done
      [[ -n $pid ]] && break
      sleep 0.05
    done
    sleep 2
    local a b
    a=$(console_ns "$pid")
    sleep "$((DURATION - 7))"
    b=$(console_ns "$pid")
    echo "$((b - a)) $((DURATION - 7))" >"$WORK/$name.threads"
  ) &
  local sampler_pid=$!
  { time VARN_SIM_FILES="$WORK/files" "$VARN" --headless --audio sim --duration "$DURATION" \
      --app-folder "$WORK/$name" --http "$port" >"$WORK/$name.out" 2>"$WORK/$name.err"; } 2>"$WORK/$name.cpu" ||
    fail "the $name run failed: $(tail -n 3 "$WORK/$name.err")"
  wait "$clients_pid" || fail "the clients failed"
  wait "$sampler_pid" || fail "the thread sampler failed"
  local ns window
  read -r ns window <"$WORK/$name.threads"
  THREADS_SHARE=$(calc "$ns / 1e9 / $window * 100")
  read -r u s <"$WORK/$name.cpu"
  CPU_CLIENTS=$(calc "$u + $s")
  [[ $(cat "$WORK/$name.err") =~ $SUMMARY_RE ]] || fail "no summary line from the $name run"
  LONGEST_CLIENTS=${BASH_REMATCH[3]}
  read -r MESSAGES P50 P95 MAX FAILED <"$WORK/$name.clients"
}

run_alone
printf 'alone:   varn CPU %.2f s, longest tick %s ms\n' "$CPU_ALONE" "$LONGEST_ALONE"
run_clients
printf 'clients: varn CPU %.2f s, longest tick %s ms; %d levels messages, age p50 %s ms, p95 %s ms, max %s ms; %d clients could not connect\n' \
  "$CPU_CLIENTS" "$LONGEST_CLIENTS" "$MESSAGES" "$P50" "$P95" "$MAX" "$FAILED"
echo "load average after: $(load)"

EXTRA=$THREADS_SHARE
WHOLE=$(calc "($CPU_CLIENTS - $CPU_ALONE) / $DURATION * 100")
printf 'console threads: %.2f %% of a core while the clients read; whole process with less without: %.2f %%\n' "$EXTRA" "$WHOLE"
EXPECTED=$((CLIENTS * (DURATION - 4) * 10 * 9 / 10))
MISSED=()
true_that "$EXTRA <= 3" || MISSED+=("extra CPU")
true_that "$P95 >= 0 && $P95 <= 150" || MISSED+=("level age")
true_that "$LONGEST_CLIENTS < 20" || MISSED+=("longest tick")
((FAILED == 0 && MESSAGES >= EXPECTED)) || MISSED+=("clients served (${MESSAGES} of ${EXPECTED}+ messages)")
((${#MISSED[@]} == 0)) || echo "GOAL MISSED: ${MISSED[*]}"
printf 'web_bench: %d live clients x %d s beside 8 lines: extra CPU %.2f %% of a core in the console threads (goal <= 3 %%; whole process %.2f %%), newest level age p95 %s ms (goal <= 150 ms), longest tick %s ms with clients vs %s ms without (goal < 20 ms)\n' \
  "$CLIENTS" "$DURATION" "$EXTRA" "$WHOLE" "$P95" "$LONGEST_CLIENTS" "$LONGEST_ALONE"

#!/usr/bin/env bash
# The service units' sandbox as systemd rates it: varn.service, an instance
# of varn@.service and varn.service with the desktop user's drop-in each
# reach an exposure of at most 3.0, and none shuts out what varn needs: its
# sound server's socket and the network (metrics, uploads), reading the
# clock's state (the clock-synchronised metric), raising its priority.
#   units_test.sh SOURCE_DIR
set -euo pipefail
src="$1"

if ! command -v systemd-analyze >/dev/null; then
  echo "SKIP: systemd-analyze is missing (it comes with systemd)"
  exit 77
fi
# A unit file is rated offline from systemd 250 on.
version="$(systemd-analyze --version | awk 'NR == 1 {print $2}')"
if ! [[ "$version" =~ ^[0-9]+$ ]] || [ "$version" -lt 250 ]; then
  echo "SKIP: systemd ${version:-of unknown version} cannot rate a unit file offline (needs 250)"
  exit 77
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Each case in a root of its own, so that units and drop-ins installed on
# this machine stay out of it.
for name in plain user; do
  mkdir -p "$tmp/$name/etc/systemd/system"
  cp "$src/contrib/systemd/varn.service" "$src/contrib/systemd/varn@.service" \
     "$tmp/$name/etc/systemd/system/"
done
mkdir "$tmp/user/etc/systemd/system/varn.service.d"
cp "$src/contrib/systemd/varn-user-pulse.conf" "$tmp/user/etc/systemd/system/varn.service.d/"

# An exposure of 3.0, given times ten as --threshold takes it.
kThreshold=30
# Checks systemd must find not set: each would cut varn off from a need.
kNeeded=('RestrictAddressFamilies=~AF_UNIX' 'RestrictAddressFamilies=~AF_(INET|INET6)'
         'PrivateNetwork=' 'ProtectClock=' 'SystemCallFilter=~@clock'
         'SystemCallFilter=~@resources')

for check in plain:varn.service plain:varn@studio1.service user:varn.service; do
  root="$tmp/${check%%:*}" unit="${check#*:}"
  analyze=(systemd-analyze security --offline=true --root="$root" --no-pager)
  if ! "${analyze[@]}" --threshold=$kThreshold "$unit" >"$tmp/out" 2>"$tmp/err"; then
    cat "$tmp/out" "$tmp/err"
    fail "$check: exposure above 3.0"
    continue
  fi
  grep 'Overall exposure' "$tmp/out" | sed "s/^/$check: /"
  if [ -s "$tmp/err" ]; then
    cat "$tmp/err"
    fail "$check: systemd-analyze complains"
  fi
  "${analyze[@]}" --json=short "$unit" >"$tmp/json"
  for name in "${kNeeded[@]}"; do
    grep -qF "\"set\":false,\"name\":\"$name\"" "$tmp/json" ||
      fail "$check: $name shuts out what varn needs"
  done
done

if [ "$failures" -ne 0 ]; then
  echo "units: $failures checks failed"
  exit 1
fi
echo "units: every unit within the exposure limit"

#!/usr/bin/env bash
# Builds the Debian package OUTDIR/varn_VERSION-REVISION_ARCH.deb with CPack
# (REVISION: the top entry of contrib/debian/changelog).
#   scripts/package.sh OUTDIR                        a Release build in build-package/
#   VARN_BUILD_DIR=build scripts/package.sh OUTDIR   packages an existing build tree
# Needs help2man (the manual page) and dpkg-shlibdeps (dpkg-dev, the
# dependencies); scripts/setup.sh installs both.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: [VARN_BUILD_DIR=DIR] $0 OUTDIR" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
outdir="$(cd "$1" && pwd)"

if [ -n "${VARN_BUILD_DIR:-}" ]; then
  build="$(cd "$VARN_BUILD_DIR" && pwd)"
else
  build="$root/build-package"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVARN_TESTS=OFF -DVARN_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target varn varn_manpage varn_changelog

# CPack stages the install tree in a work folder of its own; only the
# package lands in OUTDIR.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
shopt -s nullglob
debs=("$work"/varn_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  cat "$work/cpack.log" >&2
  echo "package: expected one varn_*.deb, found ${#debs[@]}" >&2
  exit 1
fi
mv -f "${debs[0]}" "$outdir/"
echo "$outdir/$(basename "${debs[0]}")"

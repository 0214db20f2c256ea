#!/usr/bin/env bash
# Installs the Debian packages varn needs (skipping those already present),
# then configures and builds into build/. A second run takes seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  # compiler and build
  g++ cmake ninja-build pkg-config clang-format
  # libraries
  qt6-base-dev libgl-dev libpulse-dev libmp3lame-dev libmpg123-dev libcli11-dev
  # systemd's notify protocol (sd_notify), the display check before Qt starts
  libsystemd-dev libxcb1-dev
  # EBU R128 loudness and true peak; JSON output of varn analyze
  libebur128-dev nlohmann-json3-dev
  # network streams as inputs: demuxing, decoding and conversion (FFmpeg)
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  # the streams' live test and bench/stream_bench.sh: a real Icecast server
  # (its packaged server is not left running, below)
  icecast2
  # tests and benchmarks; ffmpeg is the yardstick of bench/analysis_vs_ffmpeg.sh
  # and of the loudness (its ebur128 filter), on speech espeak-ng makes
  libgtest-dev libgmock-dev libbenchmark-dev ffmpeg espeak-ng
  # run time: sound server and tools, a display for the window, and the face
  # the window draws with and the UI tests measure (Noto Sans CJK JP, loaded
  # from this package's files whatever other fonts the machine has)
  pulseaudio pulseaudio-utils fonts-noto-cjk xvfb xauth
  # window tests: the window list and screen dumps of the virtual display
  x11-utils x11-apps
  # independent MP3 encoder and decoder, used by the tests to check our files
  lame mpg123
  # the HTTP listener (metrics and web console), its HTTPS (GnuTLS) and the
  # console's password hashes (libcrypt's yescrypt)
  libmicrohttpd-dev libgnutls28-dev libcrypt-dev
  # the web console's tests: a headless browser driven by Selenium, curl for
  # the HTTP cases and openssl for their self-signed certificate
  chromium chromium-driver python3-selenium curl openssl
  # SHA-256 of the archive files (ArchiveChecksum): nettle, GnuTLS's hashing
  nettle-dev
  # fuzzing (scripts/fuzz_smoke.sh): clang 16 (clang 14 lacks
  # std::source_location), its sanitizer and libFuzzer runtimes, llvm-symbolizer
  clang-16 libclang-rt-16-dev llvm-16
  # the Debian package (scripts/package.sh): its manual page, its library
  # dependencies (dpkg-shlibdeps), the check of its desktop entry, and
  # Debian's own check of the whole package (the package test runs it)
  help2man dpkg-dev desktop-file-utils lintian
  # systemd-analyze: the units' check and their sandbox's rating (installed
  # on any Debian with systemd; listed for a container without it)
  systemd
  # promtool for the alert rules' and the metrics' tests, and a server the
  # metrics test starts on its own; the packaged one is not left running (below)
  prometheus
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
  # prometheus is here for the tests only. Its postinst enables and starts the
  # server, through systemd or its init script (unless a policy-rc.d forbids
  # it, as in most containers): stop and disable it, but only when this run
  # installed it, so a server that was there before stays as its owner set
  # it up.
  if [[ " ${missing[*]} " == *" icecast2 "* ]]; then
    if [ -d /run/systemd/system ]; then
      $SUDO systemctl disable --now icecast2.service >/dev/null 2>&1 || true
    elif [ -x /etc/init.d/icecast2 ]; then
      $SUDO /etc/init.d/icecast2 stop >/dev/null 2>&1 || true
      $SUDO update-rc.d icecast2 disable >/dev/null 2>&1 || true
    fi
  fi
  if [[ " ${missing[*]} " == *" prometheus "* ]]; then
    if [ -d /run/systemd/system ]; then
      $SUDO systemctl disable --now prometheus.service >/dev/null 2>&1 || true
    elif [ -x /etc/init.d/prometheus ]; then
      $SUDO /etc/init.d/prometheus stop >/dev/null 2>&1 || true
      $SUDO update-rc.d prometheus disable >/dev/null 2>&1 || true
    fi
  fi
fi

# VARN_WERROR=ON (test.sh sets it) makes warnings errors, as in CI.
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARN_WERROR="${VARN_WERROR:-OFF}"
elif [ -n "${VARN_WERROR:-}" ]; then
  cmake -S . -B build -DVARN_WERROR="$VARN_WERROR" >/dev/null
fi
cmake --build build -- -j"$(nproc)"

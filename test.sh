#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test through CTest.
set -uo pipefail
cd "$(dirname "$0")"
scripts/setup.sh || exit 1

export QT_QPA_PLATFORM=offscreen
# shellcheck source=scripts/test_pulse.sh
. scripts/test_pulse.sh

ctest --test-dir build --output-on-failure --timeout 600 -j"$(nproc)" 2>&1 | tee build/ctest.log
status=${PIPESTATUS[0]}
summary=$(grep -E "tests passed|tests failed" build/ctest.log | tail -n 1)
echo "test.sh: ${summary:-no test summary} (exit $status)"
exit "$status"

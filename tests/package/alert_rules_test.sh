#!/usr/bin/env bash
# The fleet alert rules load in Prometheus, and fire (and stay quiet) as
# varn_alerts_test.yml expects.
#   alert_rules_test.sh SOURCE_DIR
set -euo pipefail
src="$1"
if ! command -v promtool >/dev/null; then
  echo "SKIP: promtool is missing (scripts/setup.sh installs Debian's prometheus)"
  exit 77
fi
promtool check rules "$src/contrib/prometheus/varn-alerts.yml"
promtool test rules "$src/tests/package/varn_alerts_test.yml"

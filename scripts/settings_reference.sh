#!/usr/bin/env bash
# Writes the README's settings reference from the catalogue: the table that
# `varn config describe --markdown` prints goes between the marker comments
# <!-- settings-reference:begin --> and <!-- settings-reference:end -->.
# tests/app/cli_test.cpp fails while the two differ.
#
#   scripts/settings_reference.sh [VARN]    (default build/varn)
set -euo pipefail
cd "$(dirname "$0")/.."

VARN=${1:-build/varn}
if [ ! -x "$VARN" ]; then
  echo "settings-reference: $VARN not found: build it first (cmake --build build --target varn)" >&2
  exit 2
fi
BEGIN='<!-- settings-reference:begin -->'
END='<!-- settings-reference:end -->'
if [ "$(grep -cxF -e "$BEGIN" -e "$END" README.md)" -ne 2 ]; then
  echo "settings-reference: README.md needs the lines $BEGIN and $END" >&2
  exit 2
fi

TABLE=$(mktemp)
NEW=$(mktemp)
trap 'rm -f "$TABLE" "$NEW"' EXIT
# Made from the catalogue alone: no settings file is read.
"$VARN" config describe --markdown > "$TABLE"
awk -v begin="$BEGIN" -v end="$END" -v table="$TABLE" '
  $0 == begin { print; while ((getline line < table) > 0) print line; skip = 1; next }
  $0 == end { skip = 0 }
  !skip { print }
' README.md > "$NEW"
if cmp -s README.md "$NEW"; then
  echo "settings-reference: README.md is up to date"
else
  cat "$NEW" > README.md
  echo "settings-reference: README.md rewritten"
fi

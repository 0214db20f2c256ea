#!/usr/bin/env bash
# Sets up what is missing, builds, and starts varn with the arguments given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh >&2
exec build/varn "$@"

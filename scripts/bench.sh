#!/usr/bin/env bash
# Builds and runs every benchmark program, printing each figure beside its bound.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
status=0
for program in "$ROOT"/build/bench/bench_*; do
    [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    "$program" || status=1
done
exit $status

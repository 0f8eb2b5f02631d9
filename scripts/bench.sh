#!/usr/bin/env bash
# Builds and runs every benchmark program, printing each figure beside its bound.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
# The programs write their scratch files (a large results archive, a WAV)
# in a folder of their own, removed afterwards.
WORK="$(mktemp -d /tmp/salienta-bench-XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
status=0
for program in "$ROOT"/build/bench/bench_*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    "$program" || status=1
done
exit $status

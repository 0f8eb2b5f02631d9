#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds
# the program in build/. Sourced by ./run and ./test.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"

install_missing_packages() {
    local wanted missing=()
    mapfile -t wanted < <(grep -v '^\s*#' "$ROOT/scripts/packages.txt" | grep -v '^\s*$')
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installo i pacchetti mancanti: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_program() {
    if [ ! -f "$BUILD/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSALIENTA_WERROR=ON
    fi
    cmake --build "$BUILD" -j"$(nproc)"
}

install_missing_packages
build_program

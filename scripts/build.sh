#!/usr/bin/env bash
# Configures and builds Tolvane into a build folder (default: build).
# Usage: scripts/build.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
# Lets ccache share objects between checkouts in different folders.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
cmake -S . -B "$dir" -G Ninja "$@"
cmake --build "$dir" -j"$(nproc)"

#!/usr/bin/env bash
# Installs what Tolvane needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DTOLVANE_BUILD_TESTS=OFF
exec ./build/Tolvane

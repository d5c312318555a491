#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit, gui, slow).
# Extra arguments go to ctest, e.g. `-LE slow` to skip the large-file tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --parallel "$(nproc)"
ctest --preset default --parallel "$(nproc)" "$@"

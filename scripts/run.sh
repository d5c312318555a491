#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player with the given
# arguments (Qt's own, such as -platform xcb); with none it opens on an
# empty recording list.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --parallel "$(nproc)" --target Ordavex
# The map pages run in Chromium, whose sandbox refuses to start as root.
if [[ $(id -u) -eq 0 ]]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec build/bin/Ordavex "$@"

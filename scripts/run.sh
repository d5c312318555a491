#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --parallel "$(nproc)"
player=build/app/Ordavex
if [[ ! -x "$player" ]]; then
  echo "The player program is not part of the build yet; the libraries and tests are." >&2
  exit 1
fi
exec "$player" "$@"

#!/usr/bin/env bash
# Makes every fixture the tests read, into OUTDIR (inside the build tree).
# Files that exist are kept, so a second run is quick.
set -euo pipefail
out=${1:?usage: make-test-data.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/make-media.sh" "$out"
if [[ -f "$here/fixtures/make_recordings.py" ]]; then
  python3 "$here/fixtures/make_recordings.py" --media "$out" --out "$out/recordings"
fi

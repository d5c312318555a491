#!/usr/bin/env bash
# Seeds for the file-name fuzz target: the names of the generated recordings,
# one per file. Usage: make-fuzz-seeds.sh OUTDIR (fixtures from ORDAVEX_TESTDATA)
set -euo pipefail
out=${1:?usage: make-fuzz-seeds.sh OUTDIR}
mkdir -p "$out"
n=0
for f in "${ORDAVEX_TESTDATA:?}"/recordings/*.avi; do
  printf '%s' "$(basename "$f")" > "$out/name_$n"
  printf '%s' "/media/usb/recordings/$(basename "$f")" > "$out/path_$n"
  n=$((n + 1))
done

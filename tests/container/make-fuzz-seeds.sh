#!/usr/bin/env bash
# Small AVI files to seed the reader's fuzz target. Usage: make-fuzz-seeds.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-fuzz-seeds.sh OUTDIR}
here=$(cd "$(dirname "$0")/../.." && pwd)
media=${ORDAVEX_TESTDATA:?}
mkdir -p "$out"
FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
BITEXACT=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)
V=(-f lavfi -i "testsrc2=size=64x48:rate=10:duration=0.6")
A=(-f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.6")
tiny() { # tiny NAME ARGS...
  [[ -s "$out/$1" ]] && return 0
  local name=$1; shift
  "${FF[@]}" "$@" "${BITEXACT[@]}" -f avi "$out/$name"
}
tiny h264_adpcm.avi "${V[@]}" "${A[@]}" -c:v libx264 -g 3 -bf 0 -c:a adpcm_ms -ac 1
tiny h264_bframes_aac.avi "${V[@]}" "${A[@]}" -c:v libx264 -g 4 -bf 2 -c:a aac -ac 1
tiny pcm_only.avi "${A[@]}" -c:a pcm_s16le
rec=(python3 "$here/scripts/fixtures/make_recordings.py" single --media "$media" --duration-ms 200)
[[ -s "$out/rec_idx1.avi" ]] || "${rec[@]}" --out "$out/rec_idx1.avi" > /dev/null
[[ -s "$out/rec_noidx.avi" ]] || "${rec[@]}" --video hevc --audio aac --no-idx1 --out "$out/rec_noidx.avi" > /dev/null
[[ -s "$out/rec_fillers.avi" ]] || "${rec[@]}" --filler-every 2 --absolute-idx1 --data-time-base 1/10 --out "$out/rec_fillers.avi" > /dev/null

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
# Non-interleaved, audio chunks smaller than their sample size: the index
# timestamps collapse (the walk once re-read one chunk forever).
[[ -s "$out/collapsed_index.avi" ]] || python3 - "$out/collapsed_index.avi" <<'PY'
import struct, sys
def chunk(tag, body):
    return tag + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')
def strl(kind, handler, size, fmt):
    strh = kind + handler + struct.pack('<IHHIIIIIIIIII', 0, 0, 0, 0, 1, 8000 if size else 25,
                                        0, 10, 0, 0xFFFFFFFF, size, 0, 0)
    return chunk(b'LIST', b'strl' + chunk(b'strh', strh) + chunk(b'strf', fmt))
bih = struct.pack('<IiiHH4sIiiII', 40, 320, 240, 1, 24, b'H264', 0, 0, 0, 0, 0)
wav = struct.pack('<HHIIHH', 1, 1, 8000, 8000 * 1024, 1024, 16)
avih = struct.pack('<10I16x', 40000, 0, 0, 0x30, 0, 0, 2, 0, 320, 240)
hdrl = chunk(b'LIST', b'hdrl' + chunk(b'avih', avih) + strl(b'vids', b'H264', 0, bih) +
             strl(b'auds', b'\0\0\0\0', 1024, wav))
movi, idx = b'movi', b''
for i in range(20):
    tag, size = (b'01wb', 100) if i % 2 else (b'00dc', 200)
    idx += tag + struct.pack('<III', 0x10, len(movi), size)
    movi += chunk(tag, bytes([7]) * size)
body = b'AVI ' + hdrl + chunk(b'LIST', movi) + chunk(b'idx1', idx)
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
PY

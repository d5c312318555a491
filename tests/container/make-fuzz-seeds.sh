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
# Hand-made hostile files: collapsed index timestamps (the walk once re-read
# one chunk forever), a super index naming one standard index thousands of
# times (once read N x K entries), an idx1 entry claiming 1 GiB in a tiny
# file (once allocated at once).
[[ -s "$out/idx1_huge_entry.avi" ]] || python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def chunk(tag, body):
    return tag + struct.pack('<I', len(body)) + body + (b'\0' if len(body) & 1 else b'')
def strl(kind, handler, size, fmt, extra=b''):
    strh = kind + handler + struct.pack('<IHHIIIIIIIIII', 0, 0, 0, 0, 1, 8000 if size else 25,
                                        0, 10, 0, 0xFFFFFFFF, size, 0, 0)
    return chunk(b'LIST', b'strl' + chunk(b'strh', strh) + chunk(b'strf', fmt) + extra)
bih = struct.pack('<IiiHH4sIiiII', 40, 320, 240, 1, 24, b'H264', 0, 0, 0, 0, 0)
wav = struct.pack('<HHIIHH', 1, 1, 8000, 8000 * 1024, 1024, 16)
def avi(flags, strls, movi_chunks, tail=lambda movi_at: b''):
    avih = struct.pack('<10I16x', 40000, 0, 0, flags, 0, 0, len(strls), 0, 320, 240)
    hdrl = chunk(b'LIST', b'hdrl' + chunk(b'avih', avih) + b''.join(strls))
    movi_at = 12 + len(hdrl) + 8
    movi = b'movi' + b''.join(chunk(t, d) for t, d in movi_chunks)
    body = b'AVI ' + hdrl + chunk(b'LIST', movi)
    body += tail(movi_at, len(body) + 8)
    return b'RIFF' + struct.pack('<I', len(body)) + body
def write(name, data):
    open(out + '/' + name, 'wb').write(data)

def idx1(entries):
    return lambda movi_at, end: chunk(b'idx1', b''.join(entries))
movi, idx = [], []
at = 4
for i in range(20):
    tag, size = (b'01wb', 100) if i % 2 else (b'00dc', 200)
    idx.append(tag + struct.pack('<III', 0x10, at, size))
    movi.append((tag, bytes([7]) * size))
    at += 8 + size
write('collapsed_index.avi', avi(0x30, [strl(b'vids', b'H264', 0, bih), strl(b'auds', b'\0\0\0\0', 1024, wav)],
                                 movi, idx1(idx)))
write('idx1_huge_entry.avi', avi(0x20, [strl(b'vids', b'H264', 0, bih)], [(b'00dc', bytes(32))],
                                 idx1([b'00dc' + struct.pack('<III', 0x10, 4, 0x3FFFFFF0)])))

# 20000 super index entries, each naming the one standard index of 30000
# entries that follows the movi list.
N, K = 20000, 30000
def ix00(movi_at, end):
    entries = b''.join(struct.pack('<II', movi_at + 12, 32 | (0x80000000 if i % 8 else 0))
                       for i in range(K))
    return chunk(b'ix00', struct.pack('<HBBI4sQI', 2, 0, 1, K, b'00dc', 0, 0) + entries)
def super_index(ix_at, ix_size):
    entries = struct.pack('<QII', ix_at, ix_size, K) * N
    return chunk(b'indx', struct.pack('<HBBI4s12x', 4, 0, 0, N, b'00dc') + entries)
probe = avi(0, [strl(b'vids', b'H264', 0, bih, super_index(0, 0))], [(b'00dc', bytes(32))], ix00)
ix_at = len(probe) - (8 + 24 + 8 * K)
write('odml_repeated_index.avi',
      avi(0, [strl(b'vids', b'H264', 0, bih, super_index(ix_at, 24 + 8 * K))], [(b'00dc', bytes(32))], ix00))
PY

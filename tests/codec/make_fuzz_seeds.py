"""Seeds for the decoders' fuzz target from the generated media fixtures.

The target reads one byte that picks the decoder (0 video, 1 AAC, 2 MS ADPCM,
3 SWF ADPCM), then packets, each after its 16-bit little-endian length. Each
seed holds the first packets of one fixture stream in that form.

Usage: make_fuzz_seeds.py OUTDIR   (the fixtures come from ORDAVEX_TESTDATA)
"""

import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "fixtures"))
import media_sources  # noqa: E402

VIDEO, AAC, MS_ADPCM, SWF_ADPCM = 0, 1, 2, 3
MAX_PACKET = 0xFFFF  # what a 16-bit length can say
MAX_SEED_BYTES = 256 * 1024


def seed(choice, packets):
    out = bytearray([choice])
    for p in packets:
        if len(p) > MAX_PACKET or len(out) + 2 + len(p) > MAX_SEED_BYTES:
            break
        out += struct.pack("<H", len(p)) + p
    return bytes(out)


def flv_audio_payloads(path):
    """Payloads of the audio tags of an FLV file, without their format byte."""
    data = media_sources.read_file(path)
    pos = struct.unpack_from(">I", data, 5)[0] + 4  # header, then the first back-pointer
    payloads = []
    while pos + 11 <= len(data):
        kind = data[pos] & 0x1F
        size = int.from_bytes(data[pos + 1 : pos + 4], "big")
        body = data[pos + 11 : pos + 11 + size]
        if kind == 8 and len(body) > 1:
            payloads.append(body[1:])
        pos += 11 + size + 4
    return payloads


def swf_adpcm_packets():
    with tempfile.TemporaryDirectory() as tmp:
        flv = os.path.join(tmp, "swf.flv")
        subprocess.run(
            [os.environ.get("FFMPEG", "ffmpeg"), "-nostdin", "-loglevel", "error", "-y", "-f",
             "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=0.5", "-c:a",
             "adpcm_swf", "-ac", "1", "-f", "flv", flv],
            check=True)
        return flv_audio_payloads(flv)


def main():
    out = sys.argv[1]
    media = os.environ["ORDAVEX_TESTDATA"]
    os.makedirs(out, exist_ok=True)
    h264 = [u.data for u in media_sources.load_video(os.path.join(media, "video.h264"), "h264").units]
    hevc = [u.data for u in media_sources.load_video(os.path.join(media, "video.hevc"), "hevc").units]
    aac = [u.data for u in media_sources.load_adts(os.path.join(media, "audio.adts")).units]
    adpcm = media_sources.load_adpcm_wav(os.path.join(media, "audio_adpcm_ms.wav")).units
    seeds = {
        "h264_start.bin": seed(VIDEO, h264[:6]),
        "h264_later_key.bin": seed(VIDEO, h264[25:31]),
        "hevc_start.bin": seed(VIDEO, hevc[:4]),
        "aac_adts.bin": seed(AAC, aac[:12]),
        "aac_raw.bin": seed(AAC, [frame[7:] for frame in aac[:12]]),
        "ms_adpcm.bin": seed(MS_ADPCM, [u.data for u in adpcm[:8]]),
        "swf_adpcm.bin": seed(SWF_ADPCM, swf_adpcm_packets()[:8]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

#!/usr/bin/env bash
# Small FLV files to seed the reader's fuzz target. Usage: FlvFuzzSeeds.sh OUTDIR
set -euo pipefail
out=${1:?usage: FlvFuzzSeeds.sh OUTDIR}
mkdir -p "$out"
FF=(ffmpeg -nostdin -hide_banner -loglevel error -y -fflags +bitexact -f lavfi -i "testsrc2=size=64x48:rate=10:duration=0.6"
    -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=0.6")
tiny() { # tiny NAME ARGS...
  [[ -s "$out/$1" ]] || "${FF[@]}" "${@:2}" -f flv "$out/$1"
}
tiny h264_aac.flv -c:v libx264 -g 3 -bf 2 -c:a aac -ac 1
tiny h264_mp3_index.flv -c:v libx264 -g 4 -c:a libmp3lame -ac 1 -flvflags add_keyframe_index
tiny flv1_pcm_u8.flv -c:v flv1 -g 3 -c:a pcm_u8 -ac 1
tiny adpcm_only.flv -vn -c:a adpcm_swf -ac 1
tiny video_no_metadata.flv -an -c:v libx264 -g 3 -flvflags no_metadata
[[ -s "$out/truncated.flv" ]] || head -c 3000 "$out/h264_aac.flv" > "$out/truncated.flv"

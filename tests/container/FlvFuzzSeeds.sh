#!/usr/bin/env bash
# Small FLV files to seed the reader's fuzz target. Usage: FlvFuzzSeeds.sh OUTDIR
set -euo pipefail
mkdir -p "$1"
tiny() { [[ -s "$1/$2" ]] || ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=64x48:rate=10:duration=0.6 \
  -f lavfi -i sine=sample_rate=22050:duration=0.6 "${@:3}" -f flv "$1/$2"; }
tiny "$1" h264_aac.flv -c:v libx264 -g 3 -bf 2 -c:a aac -ac 1
tiny "$1" h264_mp3_index.flv -c:v libx264 -g 4 -c:a libmp3lame -ac 1 -flvflags add_keyframe_index
tiny "$1" flv1_pcm_u8.flv -c:v flv1 -g 3 -c:a pcm_u8 -ac 1
tiny "$1" adpcm_only.flv -vn -c:a adpcm_swf -ac 1
tiny "$1" video_no_metadata.flv -an -c:v libx264 -g 3 -flvflags no_metadata
head -c 3000 "$1/h264_aac.flv" > "$1/truncated.flv"

#!/usr/bin/env bash
# Makes the small media fixtures with the ffmpeg CLI, bit-exact so that every
# run gives the same bytes. Usage: make-media.sh OUTDIR
set -euo pipefail
out=${1:?usage: make-media.sh OUTDIR}
mkdir -p "$out"

FF=(ffmpeg -nostdin -hide_banner -loglevel error -y)
BITEXACT=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)
SIZE=320x240
SECONDS_LONG=4
VIDEO_IN=(-f lavfi -i "testsrc2=size=${SIZE}:rate=25:duration=${SECONDS_LONG}")
MONO_IN=(-f lavfi -i "sine=frequency=440:sample_rate=8000:duration=${SECONDS_LONG}")
STEREO_IN=(-f lavfi -i "sine=frequency=440:sample_rate=44100:duration=${SECONDS_LONG},aformat=channel_layouts=stereo")
X264=(-c:v libx264 -preset veryfast -threads 1 -g 25)
X265=(-c:v libx265 -preset veryfast -tag:v HEVC -x265-params "keyint=25:bframes=0:open-gop=0:pools=1:frame-threads=1:log-level=error")

make() { # make NAME ARGS... ; skips files that already exist
  local name=$1; shift
  [[ -s "$out/$name" ]] && return 0
  "${FF[@]}" "$@" "${BITEXACT[@]}" "$out/$name.tmp.avi"
  mv "$out/$name.tmp.avi" "$out/$name"
}

make h264_aac.avi        "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X264[@]}" -bf 0 -c:a aac -ac 1 -ar 8000
make h264_bframes_aac.avi "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X264[@]}" -bf 2 -c:a aac -ac 1 -ar 8000
make h264_yuvj420p.avi   "${VIDEO_IN[@]}" "${X264[@]}" -bf 0 -pix_fmt yuvj420p
make h264_adpcm_ms.avi   "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X264[@]}" -bf 0 -c:a adpcm_ms -ac 1 -ar 8000
make h264_adpcm_ima.avi  "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X264[@]}" -bf 0 -c:a adpcm_ima_wav -ac 1 -ar 8000
make h264_pcm.avi        "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X264[@]}" -bf 0 -c:a pcm_s16le -ac 1 -ar 8000
make h264_stereo_aac.avi "${VIDEO_IN[@]}" "${STEREO_IN[@]}" "${X264[@]}" -bf 0 -c:a aac -ac 2 -ar 44100
make hevc_adpcm_ms.avi   "${VIDEO_IN[@]}" "${MONO_IN[@]}" "${X265[@]}" -pix_fmt yuv420p -c:a adpcm_ms -ac 1 -ar 8000
make hevc10.avi          "${VIDEO_IN[@]}" "${X265[@]}" -pix_fmt yuv420p10le

# AAC with ADTS headers kept in the AVI chunks, as recorders write it.
if [[ ! -s "$out/h264_adts_aac.avi" ]]; then
  "${FF[@]}" "${MONO_IN[@]}" -c:a aac -ac 1 -ar 8000 "${BITEXACT[@]}" -f adts "$out/adts.tmp.aac"
  "${FF[@]}" "${VIDEO_IN[@]}" -i "$out/adts.tmp.aac" "${X264[@]}" -bf 0 -c:a copy "${BITEXACT[@]}" \
    "$out/h264_adts_aac.tmp.avi"
  mv "$out/h264_adts_aac.tmp.avi" "$out/h264_adts_aac.avi"
  rm -f "$out/adts.tmp.aac"
fi

# Raw elementary streams, for writers that interleave their own chunks.
raw() { # raw NAME ARGS...
  local name=$1; shift
  [[ -s "$out/$name" ]] && return 0
  "${FF[@]}" "$@" "${BITEXACT[@]}" "$out/$name.tmp" && mv "$out/$name.tmp" "$out/$name"
}
raw video.h264 "${VIDEO_IN[@]}" "${X264[@]}" -bf 0 -f h264
raw video.hevc "${VIDEO_IN[@]}" "${X265[@]}" -pix_fmt yuv420p -f hevc
raw audio_adpcm_ms.wav "${MONO_IN[@]}" -c:a adpcm_ms -ac 1 -ar 8000 -f wav
raw audio.adts "${MONO_IN[@]}" -c:a aac -ac 1 -ar 8000 -f adts

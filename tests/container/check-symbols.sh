#!/usr/bin/env bash
# The container layer shares names with libavformat/libavutil; it must keep
# them all inside namespace container. Fails on any unmangled definition of
# such a name. Usage: check-symbols.sh LIBRARY
set -euo pipefail
lib=${1:?usage: check-symbols.sh LIBRARY}
[[ -s "$lib" ]] || { echo "no library at $lib"; exit 1; }
defined=$(nm --defined-only "$lib" | awk 'NF >= 3 { print $3 }')
[[ -n "$defined" ]] || { echo "no symbols in $lib"; exit 1; }
clashing=$(grep -E '^_?(av_|avi_|avio_|url_|ff_|get_|put_|avformat_|avcodec_|codec_|file_|pipe_|dyn_)' <<<"$defined" || true)
if [[ -n "$clashing" ]]; then
  echo "unmangled symbols that clash with FFmpeg's:"
  echo "$clashing"
  exit 1
fi
# Every name of ours that looks like FFmpeg's is in namespace container.
outside=$(nm -C --defined-only "$lib" | awk 'NF >= 3 { $1 = ""; $2 = ""; print }' |
  grep -E '(^| )(av_|avi_|url_|ff_|get_|put_)[a-z0-9_]*\(' | grep -v 'container::' || true)
if [[ -n "$outside" ]]; then
  echo "names outside namespace container:"
  echo "$outside"
  exit 1
fi
echo "ok: $(wc -l <<<"$defined") symbols checked"

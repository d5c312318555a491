#!/usr/bin/env bash
# Runs a command against its own Xvfb server. -displayfd lets the server pick
# a free display itself, so tests started in parallel never race for one.
set -uo pipefail
numfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$numfile" 2>/dev/null &
server=$!
for _ in $(seq 200); do
  [[ -s "$numfile" ]] && break
  sleep 0.05
done
if [[ ! -s "$numfile" ]]; then
  echo "Xvfb did not start" >&2
  kill "$server" 2>/dev/null
  exit 1
fi
export DISPLAY=":$(tr -d '\n' <"$numfile")"
rm -f "$numfile"
"$@"
rc=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $rc

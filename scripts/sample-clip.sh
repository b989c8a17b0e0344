#!/usr/bin/env bash
# Makes (once) and names a short sample clip, so `make run` shows video at once.
set -euo pipefail
out="${1:-build}/sample/Tavero sample.mpg"
if [ ! -s "$out" ]; then
  mkdir -p "$(dirname "$out")"
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=352x288:rate=25" \
    -f lavfi -i "sine=frequency=330:sample_rate=44100" \
    -t 10 -target pal-vcd "$out.part.mpg"
  mv "$out.part.mpg" "$out"
fi
printf '%s\n' "$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

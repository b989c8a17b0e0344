#!/bin/sh
# Runs a program under a Wayland compositor of its own: weston on its
# headless backend, in a runtime folder of its own. Its pixman renderer
# draws real pixels, and --debug lets weston-screenshooter take them.
dir=$(mktemp -d) || exit 1
export XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY=wayland-tavero
weston --backend=headless-backend.so --use-pixman --width=1280 --height=1400 --no-config --debug \
  --idle-time=0 --socket="$WAYLAND_DISPLAY" >"$dir/weston.log" 2>&1 &
weston=$!
tries=0
until [ -S "$dir/$WAYLAND_DISPLAY" ] || [ $tries -ge 100 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
"$@"
rc=$?
[ $rc -eq 0 ] || tail -n 20 "$dir/weston.log" >&2
kill $weston
wait $weston
rm -rf "$dir"
exit $rc

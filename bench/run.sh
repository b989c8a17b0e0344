#!/usr/bin/env bash
# Measures the player against mpv's own command-line player, side by side
# in one run on the same file, and prints one line per figure.
#
#   bench/run.sh BUILD_DIR
#
# Both players draw through OpenGL on one Xvfb display started here; a
# private session bus stands in for the desktop's. Every program started
# here is stopped again on the way out, whatever happens.
set -uo pipefail

build=$(cd "${1:-build}" && pwd) || exit 2
here=$(cd "$(dirname "$0")" && pwd)
player=$build/bin/tavero-player
probe=$build/bench/bench-probe
scan=$build/bench/bench-scan
for f in "$player" "$probe" "$scan"; do
  [ -x "$f" ] || { echo "bench: $f is missing; run 'make bench'" >&2; exit 2; }
done
for cmd in mpv Xvfb ffmpeg; do
  command -v "$cmd" >/dev/null || { echo "bench: $cmd is not installed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tavero-bench.XXXXXX")
xvfb_pid= bus_pid=
cleanup() {
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

log=$work/bench.log
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM

# One display for the whole run.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >>"$log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "bench: Xvfb did not start" >&2; cat "$log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# A desktop session has a session bus, and the player registers on it.
if command -v dbus-daemon >/dev/null; then
  if dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 \
      3>"$work/bus" 4>"$work/bus.pid" 2>>"$log"; then
    bus_pid=$(head -n1 "$work/bus.pid")
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
  fi
fi

# A 20-second PAL Video CD track: mostly magenta, the colour that the
# probe looks for, with a moving test picture in the middle so that the
# decoder has real work.
disc=$work/disc/MPEGAV
mkdir -p "$disc"
track=$disc/AVSEQ01.DAT
if ! ffmpeg -nostdin -v error -y \
    -f lavfi -i "color=c=0xFF00FF:s=352x288:r=25:d=20" \
    -f lavfi -i "testsrc2=s=176x144:r=25:d=20" \
    -f lavfi -i "sine=f=440:d=20:r=44100" \
    -filter_complex "[0][1]overlay=88:72[v]" -map "[v]" -map 2 \
    -target pal-vcd -ac 2 -f vcd "$track" >>"$log" 2>&1; then
  echo "bench: ffmpeg could not make the track" >&2; cat "$log" >&2; exit 1
fi

# mpv as it comes (no user config), told to draw through OpenGL on X11:
# its automatic choice refuses a software renderer. Without a sound device
# both players decode the sound and drop it, as ours always does.
mpv_cmd=(mpv --no-config --vo=gpu --gpu-context=x11egl --audio-fallback-to-null=yes "$track")
our_cmd=("$player" "$track")

failed=0
# probe_run OUTVAR args... : runs the probe, keeps its key=value lines.
probe_run() {
  local out
  local -n result=$1
  shift
  if out=$("$probe" "$@" 2>>"$log"); then
    result=$out
    return 0
  fi
  result=
  return 1
}
value() { sed -n "s/^$1=//p" <<<"$2"; }
median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]}'; }

line() { printf '%-40s %12s %12s %10s  %-22s %s\n' "$@"; }
# ratio_line NAME OURS MPV UNIT: the medians side by side against the 1.1x goal.
ratio_line() {
  local ratio
  ratio=$(awk -v o="$2" -v m="$3" 'BEGIN {printf "%.2f", (m > 0) ? o / m : 99}')
  line "$1" "$2 $4" "$3 $4" "${ratio}x" "<= 1.10x mpv" "$(awk -v r="$ratio" 'BEGIN {print (r <= 1.10) ? "yes" : "NO"}')"
}

echo "Tavero Player against mpv $(mpv --version 2>/dev/null | head -n1 | awk '{print $2}'), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1), $(free -h | awk '/^Mem:/ {print $2}') memory, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
line "figure" "ours" "mpv" "ratio" "goal" "holds"

# 1. Launch to the first picture on screen. One launch of each first, not
# counted, so that both start from a warm file cache; then alternate which
# goes first.
rounds=5
ours_ms=() mpv_ms=()
probe_run r --frame --timeout 20 -- "${mpv_cmd[@]}"
probe_run r --frame --timeout 20 -- "${our_cmd[@]}"
for i in $(seq "$rounds"); do
  if [ $((i % 2)) -eq 1 ]; then order=(mpv ours); else order=(ours mpv); fi
  for who in "${order[@]}"; do
    if [ "$who" = mpv ]; then
      probe_run r --frame --timeout 20 -- "${mpv_cmd[@]}" && mpv_ms+=("$(value frame_ms "$r")")
    else
      probe_run r --frame --timeout 20 -- "${our_cmd[@]}" && ours_ms+=("$(value frame_ms "$r")")
    fi
  done
done
if [ ${#ours_ms[@]} -gt 0 ] && [ ${#mpv_ms[@]} -gt 0 ]; then
  o=$(echo "${ours_ms[*]}" | median) m=$(echo "${mpv_ms[*]}" | median)
  ratio_line "1 launch to first frame, VCD track" "$o" "$m" ms
  echo "    runs (ms): ours ${ours_ms[*]}; mpv ${mpv_ms[*]}" >>"$work/details"
else
  line "1 launch to first frame, VCD track" "failed" "failed" "-" "<= 1.10x mpv" "-"
  failed=1
fi

# 2 and 3. CPU time over 15 s of playback (from one second after the first
# picture, before the 20-second track ends) and the peak resident memory
# at the end of it. Three runs each, alternating.
ours_cpu=() mpv_cpu=() ours_hwm=() mpv_hwm=()
for i in 1 2 3; do
  if [ $((i % 2)) -eq 1 ]; then order=(ours mpv); else order=(mpv ours); fi
  for who in "${order[@]}"; do
    if [ "$who" = mpv ]; then
      if probe_run r --frame --settle 1 --measure 15 --timeout 20 -- "${mpv_cmd[@]}"; then
        mpv_cpu+=("$(value cpu_ms "$r")") mpv_hwm+=("$(value hwm_kb "$r")")
      fi
    else
      if probe_run r --frame --settle 1 --measure 15 --timeout 20 -- "${our_cmd[@]}"; then
        ours_cpu+=("$(value cpu_ms "$r")") ours_hwm+=("$(value hwm_kb "$r")")
      fi
    fi
  done
done
if [ ${#ours_cpu[@]} -gt 0 ] && [ ${#mpv_cpu[@]} -gt 0 ]; then
  o=$(echo "${ours_cpu[*]}" | median) m=$(echo "${mpv_cpu[*]}" | median)
  ratio_line "2 CPU time, 15 s of PAL MPEG-1 playback" "$o" "$m" ms
  o=$(echo "${ours_hwm[*]}" | median) m=$(echo "${mpv_hwm[*]}" | median)
  line "3 peak resident memory, same playback" \
    "$(awk -v k="$o" 'BEGIN {printf "%.1f MB", k / 1024}')" \
    "$(awk -v k="$m" 'BEGIN {printf "%.1f MB", k / 1024}')" \
    "$(awk -v o="$o" -v m="$m" 'BEGIN {printf "%+.1f MB", (o - m) / 1024}')" "<= mpv + 40 MB" \
    "$(awk -v o="$o" -v m="$m" 'BEGIN {print (o - m <= 40 * 1024) ? "yes" : "NO"}')"
  {
    echo "    runs (CPU ms): ours ${ours_cpu[*]}; mpv ${mpv_cpu[*]}"
    echo "    runs (VmHWM kB): ours ${ours_hwm[*]}; mpv ${mpv_hwm[*]}"
  } >>"$work/details"
else
  line "2 CPU time, 15 s of PAL MPEG-1 playback" "failed" "failed" "-" "<= 1.10x mpv" "-"
  line "3 peak resident memory, same playback" "failed" "failed" "-" "<= mpv + 40 MB" "-"
  failed=1
fi

# 4. Idle: nothing loaded, the status timer watching the drive once a
# second. Measured after the window has settled.
if probe_run r --settle 5 --measure 30 --timeout 20 -- "$player"; then
  c=$(value cpu_ms "$r")
  pct=$(awk -v c="$c" 'BEGIN {printf "%.3f", c / 30000 * 100}')
  line "4 idle CPU over 30 s, drive watch on" "$pct %" "-" "-" "< 0.2 % of one core" \
    "$(awk -v p="$pct" 'BEGIN {print (p < 0.2) ? "yes" : "NO"}')"
  echo "    idle CPU in 30 s: $c ms in /proc/<pid>/stat, $(value sched_us "$r") us by the scheduler's count" \
    >>"$work/details"
else
  line "4 idle CPU over 30 s, drive watch on" "failed" "-" "-" "< 0.2 % of one core" "-"
  failed=1
fi

# 5. The track scan over 1,000 track files (medians of many runs).
if r=$(timeout 120 "$scan" 1000 2000 200 2>>"$log"); then
  s=$(value steady_us "$r") b=$(value rebuild_us "$r")
  line "5 steady scan, 1,000 track files" "$(awk -v u="$s" 'BEGIN {printf "%.3f ms", u / 1000}')" "-" "-" \
    "< 1 ms" "$(awk -v u="$s" 'BEGIN {print (u < 1000) ? "yes" : "NO"}')"
  line "5 full rebuild, 1,000 track files" "$(awk -v u="$b" 'BEGIN {printf "%.3f ms", u / 1000}')" "-" "-" "-" "-"
else
  line "5 steady scan, 1,000 track files" "failed" "-" "-" "< 1 ms" "-"
  failed=1
fi

# 6. The same stream read from a Video CD image's sectors (a .cue sheet
# and its .bin, made by vcdimager) against the plain file, both in our
# player: the cost of reading sectors through the stream callbacks.
image=$work/image
mkdir -p "$image"
if command -v vcdimager >/dev/null &&
    (cd "$image" && vcdimager -q --type=vcd2 --iso-volume-label=BENCH --cue-file=disc.cue \
      --bin-file=disc.bin "$track" >>"$log" 2>&1); then
  file_cpu=() cue_cpu=()
  for i in 1 2 3; do
    if [ $((i % 2)) -eq 1 ]; then order=(file cue); else order=(cue file); fi
    for what in "${order[@]}"; do
      if [ "$what" = file ]; then
        probe_run r --frame --settle 1 --measure 15 --timeout 20 -- "$player" "$track" &&
          file_cpu+=("$(value cpu_ms "$r")")
      else
        probe_run r --frame --settle 1 --measure 15 --timeout 20 -- "$player" "$image/disc.cue" &&
          cue_cpu+=("$(value cpu_ms "$r")")
      fi
    done
  done
  if [ ${#file_cpu[@]} -gt 0 ] && [ ${#cue_cpu[@]} -gt 0 ]; then
    c=$(echo "${cue_cpu[*]}" | median) f=$(echo "${file_cpu[*]}" | median)
    ratio=$(awk -v c="$c" -v f="$f" 'BEGIN {printf "%.2f", (f > 0) ? c / f : 99}')
    line "6 CPU, 15 s from a .cue image" "$c ms" "$f ms" "${ratio}x" "<= 1.05x the file" \
      "$(awk -v r="$ratio" 'BEGIN {print (r <= 1.05) ? "yes" : "NO"}')"
    echo "    runs (CPU ms): image ${cue_cpu[*]}; same stream as a file ${file_cpu[*]}" >>"$work/details"
  else
    line "6 CPU, 15 s from a .cue image" "failed" "failed" "-" "<= 1.05x the file" "-"
    failed=1
  fi
else
  line "6 CPU, 15 s from a .cue image" "failed" "-" "-" "<= 1.05x the file" "-"
  failed=1
fi

echo
echo "Single runs:"
cat "$work/details" 2>/dev/null
if [ "$failed" -ne 0 ]; then
  echo
  echo "Some measurements failed; the log follows." >&2
  tail -n 40 "$log" >&2
fi
exit "$failed"

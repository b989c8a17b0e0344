#!/usr/bin/env bash
# Measures the player against VLC and mpv's own command-line player, side
# by side in one run on the same file, and prints one line per figure:
# the medians, with the spread of the single runs (minimum-maximum).
#
#   bench/run.sh BUILD_DIR [--only FIGURE] [--before BUILD_DIR]
#
# FIGURE is one of launch, play (CPU and memory), idle, scan, image, busy, menu,
# stall;
# without --only every figure is measured, which takes long. --before names
# a build of an earlier version whose bench-busy is run in turn with this
# one's, so figure 7 shows both, measured side by side (`make bench` builds
# the version before the drawing moved off the GUI thread for this).
#
# All three players draw through OpenGL on one Xvfb display started here.
# VLC refuses to run as root, so when the bench runs as root, every player
# runs as an unprivileged user of its own (created once, "tavero-bench"),
# and each run gets a session bus of its own. Every program started here is
# stopped again on the way out, whatever happens.
set -uo pipefail

build=$(cd "${1:-build}" && pwd) || exit 2
shift || true
only=
before=
while [ $# -gt 0 ]; do
  case $1 in
    --only) only=${2:-}; shift 2 || { echo "bench: --only needs a figure" >&2; exit 2; } ;;
    --before) before=$(cd "${2:-}" 2>/dev/null && pwd) && [ -x "$before/bench/bench-busy" ] ||
        { echo "bench: --before needs a build with bench/bench-busy" >&2; exit 2; }
      shift 2 ;;
    *) echo "bench: unknown argument $1" >&2; exit 2 ;;
  esac
done
case $only in
  ''|launch|play|idle|scan|image|busy|menu|stall) ;;
  *) echo "bench: no figure named $only" >&2; exit 2 ;;
esac
# wanted FIGURE: whether this run measures it.
wanted() { [ -z "$only" ] || [ "$only" = "$1" ]; }

here=$(cd "$(dirname "$0")" && pwd)
player=$build/bin/tavero-player
probe=$build/bench/bench-probe
scan=$build/bench/bench-scan
menu=$build/bench/bench-menu
busy=$build/bench/bench-busy
stall=$build/bench/bench-stall
fakedrive=$build/tests/libtavero_fakedrive.so
for f in "$player" "$probe" "$scan" "$busy" "$menu" "$stall" "$fakedrive"; do
  [ -x "$f" ] || { echo "bench: $f is missing; run 'make bench'" >&2; exit 2; }
done
needed=(Xvfb ffmpeg dbus-run-session)
wanted launch || wanted play || wanted image || wanted idle && needed+=(mpv vlc)
for cmd in "${needed[@]}"; do
  command -v "$cmd" >/dev/null || { echo "bench: $cmd is not installed" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tavero-bench.XXXXXX")
chmod 755 "$work"
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

log=$work/bench.log
export LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM

# Who the players run as, with a home and a runtime folder of their own
# that start empty, so VLC's first start is the same in every run.
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  user=tavero-bench
  id -u "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    { echo "bench: cannot create the user $user" >&2; exit 2; }
fi
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/home" "$work/runtime"
[ "$(id -u)" -eq 0 ] && chown "$user" "$work/home" "$work/runtime"
as_user() {
  local env=(env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
    DISPLAY="$DISPLAY" LC_ALL=C.UTF-8 dbus-run-session --)
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$user" -- "${env[@]}" "$@"
  else
    "${env[@]}" "$@"
  fi
}

# One display for the whole run, open to the players' user.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$work/display" >>"$log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "bench: Xvfb did not start" >&2; cat "$log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

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
chmod -R a+rX "$work/disc"

# The players. Ours as it chooses how to draw (on this display, with no GPU:
# by the CPU) and forced to OpenGL; VLC and mpv as they come (no output
# options: what a user who just starts them gets), and each one's best
# software output. All decode the sound and drop it: this machine has no
# sound device, and ours always falls back to dropping it. VLC runs with
# its usual Qt interface, the privacy question of its first start answered.
declare -A cmd label
cmd[ours]="$player"
cmd[ours-gl]="env TAVERO_VIDEO=gl $player"
cmd[vlc]="vlc --no-qt-privacy-ask --aout=adummy --no-video-title-show"
cmd[mpv]="mpv --no-config --audio-fallback-to-null=yes"
cmd[vlc-sw]="${cmd[vlc]} --vout=xcb_x11"
cmd[mpv-sw]="${cmd[mpv]} --vo=x11 --profile=sw-fast"
# Double size and full screen (the screen is 1280x1024): ours through the
# real window's Size menu (bench-busy, quiet), the peers by their options
# (mpv full screen with its window's size too: Xvfb has no window manager to
# make it so).
cmd[ours-double]="$busy - 20 0 quiet double"
cmd[ours-full]="$busy - 20 0 quiet full"
cmd[vlc-double]="${cmd[vlc]} --zoom=2"
cmd[vlc-full]="${cmd[vlc]} --fullscreen"
cmd[mpv-double]="${cmd[mpv]} --window-scale=2"
cmd[mpv-full]="${cmd[mpv]} --fs --geometry=1280x1024+0+0"
label=([ours]="ours" [ours-gl]="ours (GL)" [vlc]="VLC" [mpv]="mpv" [vlc-sw]="VLC (x11)" [mpv-sw]="mpv (x11)")
players=(ours ours-gl vlc mpv vlc-sw mpv-sw)

failed=0
# probe_run OUTVAR probe-args... -- WHO FILE: runs the probe on a player,
# keeps its key=value lines. A "-" in the player's command stands for the
# file, which otherwise comes last.
probe_run() {
  local out
  local -n result=$1
  shift
  local args=()
  while [ "$1" != "--" ]; do args+=("$1"); shift; done
  shift
  local who=$1 file=$2
  # shellcheck disable=SC2206
  local program=(${cmd[$who]})
  if [[ " ${cmd[$who]} " == *" - "* ]]; then
    program=("${program[@]/#-/$file}")
  elif [ -n "$file" ]; then
    program+=("$file")
  fi
  if out=$(as_user "$probe" "${args[@]}" -- "${program[@]}" 2>>"$log"); then
    result=$out
    return 0
  fi
  result=
  return 1
}
value() { sed -n "s/^$1=//p" <<<"$2"; }
median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]}'; }
spread() { tr ' ' '\n' | grep . | sort -n | awk 'NR==1 {lo=$1} {hi=$1} END {if (NR) print lo "-" hi}'; }
# order I PLAYER...: the players in round I's order, each going first in turn.
order() {
  local i=$1
  shift
  local list=("$@") n=$#
  for k in $(seq 0 $((n - 1))); do echo "${list[$(((i + k) % n))]}"; done
}

# A figure's line: its name, one cell per player of the figure, the goal and whether it holds.
line() { printf '%-38s' "$1"; shift; local c; for c in "${@:1:$#-2}"; do printf ' %21s' "$c"; done
  printf '  %-48s %s\n' "${@: -2:1}" "${@: -1}"; }
header() { local cells=("$@"); line "figure" "${cells[@]}" "goal" "holds"; }

echo "Tavero Player against VLC $(dpkg-query -W -f='${Version}' vlc 2>/dev/null | cut -d- -f1) and mpv $(mpv --version 2>/dev/null | head -n1 | awk '{print $2}'), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1), $(free -h | awk '/^Mem:/ {print $2}') memory, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Players run as: $user; medians, [minimum-maximum] of the single runs"
echo

declare -A runs
# measure FIGURE ROUNDS PLAYERS PROBE-ARGS...: runs every player (a list in
# one word) ROUNDS times in rotating order; keeps the values per player in
# runs[FIGURE.KEY.WHO].
measure() {
  local fig=$1 rounds=$2 list=$3
  shift 3
  local i who r
  # shellcheck disable=SC2086
  for i in $(seq 0 $((rounds - 1))); do
    local first=
    for who in $(order "$i" $list); do
      [ -z "$first" ] && first=$who
      if probe_run r "$@" -- "$who" "$track"; then
        for key in frame_ms cpu_ms hwm_kb; do
          local v
          v=$(value "$key" "$r")
          [ -n "$v" ] && runs[$fig.$key.$who]+="$v "
        done
      fi
    done
    runs[$fig.first]+="$first "
  done
}
# report NAME FIGURE KEY UNIT GOALTEXT RULE PLAYERS...: one line with each
# player's median [spread], in the order given. RULE is an awk test on o
# (ours as it chooses), p (the better of VLC and mpv as they come) and s
# (the better of their best software outputs).
report() {
  local name=$1 fig=$2 key=$3 unit=$4 goal=$5 rule=$6
  shift 6
  local scale=1 fmt="%d" who med cells=() missing=0
  declare -A of=()
  [ "$unit" = MB ] && scale=1024 fmt="%.1f"
  for who in "$@"; do
    if [ -z "$who" ]; then
      cells+=("-")
      continue
    fi
    med=$(echo "${runs[$fig.$key.$who]:-}" | median)
    if [ -z "$med" ]; then
      cells+=("failed")
      missing=1
      continue
    fi
    of[${who%-double}]=$med
    of[${who%-full}]=$med
    cells+=("$(awk -v x="$med" -v s="$scale" -v f="$fmt" -v sp="$(echo "${runs[$fig.$key.$who]}" | spread)" -v u="$unit" \
      'BEGIN {split(sp, a, "-"); printf f " %s [" f "-" f "]", x / s, u, a[1] / s, a[2] / s}')")
    echo "    $name, $who: ${runs[$fig.$key.$who]}" >>"$work/details"
  done
  echo "    $name: first in each round: ${runs[$fig.first]}" >>"$work/details"
  if [ "$missing" -ne 0 ]; then
    line "$name" "${cells[@]}" "$goal" "-"
    failed=1
    return
  fi
  local holds
  holds=$(awk -v o="${of[ours]}" -v a="${of[vlc]}" -v b="${of[mpv]}" -v c="${of[vlc-sw]:-0}" -v d="${of[mpv-sw]:-0}" \
    "BEGIN {p = (a < b) ? a : b; s = (c < d) ? c : d; print ($rule) ? \"yes\" : \"NO\"}")
  line "$name" "${cells[@]}" "$goal" "$holds"
  echo "    $name, ours against VLC and mpv as they come: $(awk -v o="${of[ours]}" -v a="${of[vlc]}" -v b="${of[mpv]}" \
    'BEGIN {printf "%.2fx, %.2fx", o / a, o / b}')" >>"$work/details"
}

all=(ours ours-gl vlc mpv vlc-sw mpv-sw)
if wanted launch || wanted play; then
  echo "ours: as it chooses; ours (GL): TAVERO_VIDEO=gl; VLC, mpv: as they come; VLC (x11): --vout=xcb_x11;"
  echo "mpv (x11): --vo=x11 --profile=sw-fast. The goals are for ours as it chooses, against the others in this run."
  header "ours" "ours (GL)" "VLC" "mpv" "VLC (x11)" "mpv (x11)"
fi
if wanted launch; then
  # 1. Launch to the first picture on screen. One uncounted launch of each
  # first, so that all start from a warm file cache.
  for who in "${players[@]}"; do probe_run r --frame --timeout 20 -- "$who" "$track"; done
  measure launch 9 "${players[*]}" --frame --timeout 20
  report "1 launch to first frame" launch frame_ms ms "<= 0.8x the faster peer as it comes" "o <= 0.8 * p" "${all[@]}"
fi

if wanted play; then
  # 2 and 3. CPU time over 15 s of playback (from one second after the first
  # picture, before the 20-second track ends) and the peak resident memory
  # at the end of it.
  measure play 5 "${players[*]}" --frame --settle 1 --measure 15 --timeout 20
  report "2 CPU time, 15 s of playback" play cpu_ms ms "<= 0.6x the cheaper peer, <= 1.0x the best sw" \
    "o <= 0.6 * p && o <= s" "${all[@]}"
  report "3 peak resident memory" play hwm_kb MB "<= 0.75x the smaller peer as it comes" "o <= 0.75 * p" "${all[@]}"
  # 2 at double size and full screen, against the peers as they come.
  for size in double full; do
    measure "play-$size" 5 "ours-$size vlc-$size mpv-$size" --frame --settle 1 --measure 15 --timeout 20
    report "2 CPU time, 15 s, $size size" "play-$size" cpu_ms ms "<= 1.0x the cheaper peer as it comes" "o <= p" \
      "ours-$size" "" "vlc-$size" "mpv-$size" "" ""
  done
fi

if wanted idle; then
  # 4. Idle: nothing loaded, the status timer watching the drive once a
  # second. Measured after the window has settled.
  if probe_run r --settle 5 --measure 30 --timeout 20 -- ours ""; then
    c=$(value cpu_ms "$r")
    pct=$(awk -v c="$c" 'BEGIN {printf "%.3f", c / 30000 * 100}')
    line "4 idle CPU over 30 s, drive watch on" "$pct %" "-" "-" "-" "-" "-" "< 0.2 % of one core" \
      "$(awk -v p="$pct" 'BEGIN {print (p < 0.2) ? "yes" : "NO"}')"
    echo "    idle CPU in 30 s: $c ms in /proc/<pid>/stat, $(value sched_us "$r") us by the scheduler's count" \
      >>"$work/details"
  else
    line "4 idle CPU over 30 s, drive watch on" "failed" "-" "-" "-" "-" "-" "< 0.2 % of one core" "-"
    failed=1
  fi
fi

if wanted scan; then
  # 5. The track scan over 1,000 track files (medians of many runs).
  if r=$(timeout 120 "$scan" 1000 2000 200 2>>"$log"); then
    s=$(value steady_us "$r") b=$(value rebuild_us "$r")
    line "5 steady scan, 1,000 track files" "$(awk -v u="$s" 'BEGIN {printf "%.3f ms", u / 1000}')" "-" "-" "-" "-" "-" \
      "< 1 ms" "$(awk -v u="$s" 'BEGIN {print (u < 1000) ? "yes" : "NO"}')"
    line "5 full rebuild, 1,000 track files" "$(awk -v u="$b" 'BEGIN {printf "%.3f ms", u / 1000}')" "-" "-" "-" "-" "-" "-" "-"
  else
    line "5 steady scan, 1,000 track files" "failed" "-" "-" "-" "-" "-" "< 1 ms" "-"
    failed=1
  fi
fi

if wanted image; then
  # 6. The same stream read from a Video CD image's sectors (a .cue sheet
  # and its .bin, made by vcdimager) against the plain file, both in our
  # player: the cost of reading sectors through the stream callbacks.
  image=$work/image
  mkdir -p "$image"
  if command -v vcdimager >/dev/null &&
      (cd "$image" && vcdimager -q --type=vcd2 --iso-volume-label=BENCH --cue-file=disc.cue \
        --bin-file=disc.bin "$track" >>"$log" 2>&1) && chmod -R a+rX "$image"; then
    file_cpu=() cue_cpu=()
    for i in 1 2 3 4 5; do
      if [ $((i % 2)) -eq 1 ]; then order=(file cue); else order=(cue file); fi
      for what in "${order[@]}"; do
        if [ "$what" = file ]; then
          probe_run r --frame --settle 1 --measure 15 --timeout 20 -- ours "$track" &&
            file_cpu+=("$(value cpu_ms "$r")")
        else
          probe_run r --frame --settle 1 --measure 15 --timeout 20 -- ours "$image/disc.cue" &&
            cue_cpu+=("$(value cpu_ms "$r")")
        fi
      done
    done
    if [ ${#file_cpu[@]} -gt 0 ] && [ ${#cue_cpu[@]} -gt 0 ]; then
      c=$(echo "${cue_cpu[*]}" | median) f=$(echo "${file_cpu[*]}" | median)
      ratio=$(awk -v c="$c" -v f="$f" 'BEGIN {printf "%.2f", (f > 0) ? c / f : 99}')
      line "6 CPU, 15 s from a .cue image" "image $c ms" "-" "file $f ms" "-" "${ratio}x" "-" "<= 1.05x the file" \
        "$(awk -v r="$ratio" 'BEGIN {print (r <= 1.05) ? "yes" : "NO"}')"
      echo "    runs (CPU ms): image ${cue_cpu[*]}; same stream as a file ${file_cpu[*]}" >>"$work/details"
    else
      line "6 CPU, 15 s from a .cue image" "failed" "-" "failed" "-" "-" "-" "<= 1.05x the file" "-"
      failed=1
    fi
  else
    line "6 CPU, 15 s from a .cue image" "failed" "-" "-" "-" "-" "-" "<= 1.05x the file" "-"
    failed=1
  fi
fi

# 7. Frames mpv dropped or drew late while the GUI thread had other work:
# the real window, the drive watch scanning 10,000 track files every
# second, the window resized every 100 ms, a menu opened every second.
# With --before, the earlier build's runs alternate with ours.
# busy_figure LABEL RUNS...: one line for the runs' sums (dropped+delayed).
busy_figure() {
  local label=$1
  shift
  local sums=() r
  for r in "$@"; do sums+=("$((${r%+*} + ${r#*+}))"); done
  if [ $# -eq 3 ]; then
    local m
    m=$(echo "${sums[*]}" | median)
    line "7 frames dropped or delayed while the window is busy$label" "$m [$(echo "${sums[*]}" | spread)]" "-" "-" "-" "-" "-" "0" \
      "$(awk -v m="$m" 'BEGIN {print (m == 0) ? "yes" : "NO"}')"
    echo "    frames dropped+delayed in 15 s of a busy window$label: $*" >>"$work/details"
  else
    line "7 frames dropped or delayed while the window is busy$label" "failed" "-" "-" "-" "-" "-" "0" "-"
    failed=1
  fi
}
if wanted busy; then
  busy_runs=() gl_runs=() before_runs=()
  # busy_once BENCH-BUSY [VIDEO]: "dropped+delayed" of one run, or nothing;
  # VIDEO is TAVERO_VIDEO for it.
  busy_once() {
    local r
    r=$(as_user env TAVERO_VIDEO="${2:-}" timeout 60 "$1" "$track" 15 10000 2>>"$log") &&
      echo "$(value frames_dropped "$r")+$(value frames_delayed "$r")"
  }
  for i in 1 2 3; do
    if [ -n "$before" ] && [ $((i % 2)) -eq 1 ]; then
      before_runs+=($(busy_once "$before/bench/bench-busy"))
    fi
    busy_runs+=($(busy_once "$busy"))
    gl_runs+=($(busy_once "$busy" gl))
    if [ -n "$before" ] && [ $((i % 2)) -eq 0 ]; then
      before_runs+=($(busy_once "$before/bench/bench-busy"))
    fi
  done
  [ -n "$before" ] && busy_figure " (before, GL)" "${before_runs[@]}"
  busy_figure "" "${busy_runs[@]}"
  busy_figure " (GL)" "${gl_runs[@]}"
fi

if wanted menu; then
  # 8. A disc's own menu: from a number key to the chosen item playing, on
  # a Video CD 2.0 image made by vcdxbuild (the real window and component,
  # headless; median of nine).
  if r=$(timeout 300 "$menu" 9 2>>"$log"); then
    m=$(value key_to_item_ms "$r")
    line "8 disc menu, number key to the chosen item" "$m ms" "-" "-" "-" "-" "-" "<= 300 ms" \
      "$(awk -v m="$m" 'BEGIN {print (m <= 300) ? "yes" : "NO"}')"
    echo "    key to item (ms): $(value all "$r")" >>"$work/details"
  else
    line "8 disc menu, number key to the chosen item" "failed" "-" "-" "-" "-" "-" "<= 300 ms" "-"
    failed=1
  fi
fi

if wanted stall; then
  # 9. The GUI thread's longest stall while a track opens from a drive that
  # spins up for 4 s (the tests' fake drive; the worst lateness of a 50 ms
  # timer, median of five).
  mkdir -p "$work/drive"
  # Preloaded into bench-stall itself: the drive takes itself out of the
  # environment of the program it is loaded into (timeout, here).
  if r=$(TAVERO_FAKE_DRIVE=$work/drive/sr0 TAVERO_FAKE_DRIVE_SCRIPT=$work/drive/sr0.script \
         timeout 300 env LD_PRELOAD="$fakedrive" "$stall" 5 4000 2>>"$log"); then
    w=$(value worst_ms "$r")
    line "9 GUI stall, track from a drive spinning up 4 s" "$w ms" "-" "-" "-" "-" "-" "<= 50 ms" \
      "$(awk -v w="$w" 'BEGIN {print (w <= 50) ? "yes" : "NO"}')"
    echo "    worst lateness per run (ms): $(value all "$r"); Play Video CD took $(value waited_ms "$r") ms" >>"$work/details"
  else
    line "9 GUI stall, track from a drive spinning up 4 s" "failed" "-" "-" "-" "-" "-" "<= 50 ms" "-"
    failed=1
  fi
fi

cat "$work/details" 2>/dev/null
if [ "$failed" -ne 0 ]; then
  echo
  echo "Some measurements failed; the log follows." >&2
  tail -n 40 "$log" >&2
fi
exit "$failed"

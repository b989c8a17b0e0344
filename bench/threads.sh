#!/usr/bin/env bash
# Where the player's CPU time and memory go: plays CLIP in the real program
# on an Xvfb display of its own (drawing as it chooses there: by the CPU;
# TAVERO_VIDEO=gl for OpenGL through Mesa's llvmpipe) for SECONDS and prints
# the CPU time of each of its threads, by name, from /proc/<pid>/task/*/stat,
# with the whole process's at the end; then, from the last round, the
# resident memory by mapping (/proc/<pid>/smaps), largest first.
#
#   bench/threads.sh BUILD_DIR CLIP [SECONDS] [ROUNDS]
#
# With ROUNDS above 1 each thread's line gives the median and the spread.
# Extra mpv options for a probe can be set through the build's own means;
# this script only measures.
set -uo pipefail

build=$(cd "${1:?usage: threads.sh BUILD_DIR CLIP [SECONDS] [ROUNDS]}" && pwd) || exit 2
clip=${2:?usage: threads.sh BUILD_DIR CLIP [SECONDS] [ROUNDS]}
seconds=${3:-16}
rounds=${4:-1}
player=$build/bin/tavero-player
[ -x "$player" ] || { echo "threads: $player is missing" >&2; exit 2; }
[ -r "$clip" ] || { echo "threads: cannot read $clip" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "threads: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavero-threads.XXXXXX")
xvfb_pid= player_pid=
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null && wait "$player_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "threads: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display") XDG_RUNTIME_DIR=$work
unset QT_QPA_PLATFORM
tick=$(getconf CLK_TCK)

for round in $(seq "$rounds"); do
  "$player" "$clip" >/dev/null 2>&1 &
  player_pid=$!
  sleep "$seconds"
  # name utime+stime per thread; the name sits in parentheses and may
  # hold spaces, so fields are counted from the closing one.
  for stat in /proc/"$player_pid"/task/*/stat; do
    line=$(cat "$stat" 2>/dev/null) || continue
    name=${line#*(}
    name=${name%)*}
    rest=${line##*) }
    read -r -a f <<<"$rest"
    echo "$round ${name// /_} $(((f[11] + f[12]) * 1000 / tick))"
  done >>"$work/threads"
  # Resident kB by mapping: a file's name, or [heap], [stack], anonymous.
  awk '/^[0-9a-f]+-[0-9a-f]+ / {name = ($6 == "") ? "(anonymous)" : $6; sub(".*/", "", name)}
       /^Rss:/ {rss[name] += $2}
       END {for (n in rss) if (rss[n] >= 512) printf "%-40s %8d kB\n", n, rss[n]}' \
    /proc/"$player_pid"/smaps 2>/dev/null | sort -k2,2nr >"$work/mappings"
  kill "$player_pid" 2>/dev/null
  wait "$player_pid" 2>/dev/null
  player_pid=
done

# Per round, threads of one name are added up (llvmpipe has several).
printf '%-24s %8s  %s\n' thread ms "median [min-max] of $rounds rounds of $seconds s"
awk '{sum[$2 " " $1] += $3; total[$1] += $3; names[$2] = 1}
     END {
       for (n in names) for (r = 1; r <= '"$rounds"'; r++) print n, r, sum[n " " r] + 0
       for (r = 1; r <= '"$rounds"'; r++) print "(whole_process)", r, total[r]
     }' "$work/threads" | sort -k1,1 -k3,3n |
  awk -v rounds="$rounds" '
    { v[$1] = v[$1] " " $3; n[$1]++ }
    END {
      for (t in v) {
        split(substr(v[t], 2), a, " ")
        c = n[t]; med = (c % 2) ? a[(c + 1) / 2] : int((a[c / 2] + a[c / 2 + 1]) / 2)
        printf "%-24s %8d  [%d-%d]\n", t, med, a[1], a[c]
      }
    }' | sort -k2,2nr
echo
echo "resident memory by mapping (at least 512 kB), last round:"
cat "$work/mappings"

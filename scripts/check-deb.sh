#!/usr/bin/env bash
# Builds the Debian package and tries it on a clean Debian 12.
#
#   sudo scripts/check-deb.sh [build-folder]        (default: build)
#
# 1. builds the program and runs `cpack -G DEB` in the build folder,
#    shows the package's control data and file list, and has lintian check
#    it (no errors, no warnings);
# 2. makes a minimal Debian 12 (bookworm) with debootstrap in a scratch
#    folder, copies the package in and installs it with apt-get, so its
#    dependencies come from Debian's archive;
# 3. inside that system, with no display (QT_QPA_PLATFORM=offscreen):
#    - checks every library of the player and the help viewer resolves,
#    - starts /usr/bin/tavero-player with a short clip (made with ffmpeg
#      here) and checks it is still running after a few seconds,
#    - checks that THelp.hlp lies beside the executable the running player
#      resolved to (where it looks for its help),
#    - starts tavero-help with that file and checks it keeps running too.
#
# Not part of `make test`: it needs root (debootstrap, chroot, mounts), the
# network and a few minutes. Every mount is undone on exit, whatever
# happens; the scratch system is deleted unless KEEP_CHROOT=1.
#
# Environment: MIRROR (default: deb.debian.org, else the first Debian
# mirror in /etc/apt/sources.list*), CHROOT_DIR (default: a new folder in
# /tmp), KEEP_CHROOT=1, RUN_SECONDS (default 5).
set -euo pipefail

BUILD="${1:-build}"
RUN_SECONDS="${RUN_SECONDS:-5}"
SUITE=bookworm
HERE="$(cd "$(dirname "$0")/.." && pwd)"

say() { printf '\n== %s\n' "$*"; }
fail() { printf '\nFAILED: %s\n' "$*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root (debootstrap, chroot and mount need it)"
for tool in cmake cpack dpkg-deb dpkg-shlibdeps file ffmpeg debootstrap findmnt lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (apt-get install cmake dpkg-dev file ffmpeg debootstrap lintian)"
done

ROOT="${CHROOT_DIR:-$(mktemp -d /tmp/deb12.XXXXXX)}"
# mktemp makes it 0700: the system's own users (apt's _apt) must get in.
chmod 0755 "$ROOT"

cleanup() {
  local rc=$? m
  # Innermost first (ours and any debootstrap left behind); a lazy unmount
  # if something still holds one.
  for m in $(findmnt -rn -o TARGET | grep "^$ROOT/" | sort -r); do
    umount "$m" 2>/dev/null || umount -l "$m" || true
  done
  if findmnt -rn -o TARGET | grep -q "^$ROOT/"; then
    echo "mounts left under $ROOT, not deleting it:" >&2
    findmnt -rn -o TARGET | grep "^$ROOT/" >&2
  elif [ "${KEEP_CHROOT:-0}" = 1 ]; then
    echo "kept the Debian 12 system in $ROOT"
  else
    rm -rf --one-file-system "$ROOT"
  fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

in_root() {
  chroot "$ROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive XDG_RUNTIME_DIR=/run/user/0 "$@"
}

say "building the package in $BUILD"
cmake --build "$BUILD" -j2 >/dev/null
rm -f "$BUILD"/tavero-player_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)
DEB="$(ls "$BUILD"/tavero-player_*.deb)"
[ -f "$DEB" ] || fail "cpack made no .deb"
echo "$DEB"
dpkg-deb -I "$DEB" | sed -n '/Package:/,$p'
say "files"
dpkg-deb -c "$DEB" | awk '{ l = $6; for (i = 7; i <= NF; i++) l = l " " $i; print substr($1, 1, 1), l }'
say "lintian"
lint_rc=0
lint="$(lintian --fail-on error,warning "$DEB" 2>&1)" || lint_rc=$?
printf '%s\n' "$lint" | grep -v 'root privileges' || true
[ $lint_rc -eq 0 ] || fail "lintian found errors or warnings"
echo "no errors, no warnings"

if [ -z "${MIRROR:-}" ]; then
  MIRROR=http://deb.debian.org/debian
  if command -v curl >/dev/null && ! curl -fsI --max-time 20 "$MIRROR/dists/$SUITE/Release" >/dev/null 2>&1; then
    local_mirror="$(grep -rhoE 'https?://[^ ]+/debian/?' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
                    grep -v security | head -n1 || true)"
    [ -n "$local_mirror" ] && MIRROR="$local_mirror"
  fi
fi

say "debootstrap $SUITE from $MIRROR into $ROOT"
debootstrap --variant=minbase "$SUITE" "$ROOT" "$MIRROR" >"$ROOT.debootstrap.log" 2>&1 ||
  { tail -n 20 "$ROOT.debootstrap.log"; fail "debootstrap"; }
rm -f "$ROOT.debootstrap.log"

mount -t proc proc "$ROOT/proc"
mount -t sysfs sysfs "$ROOT/sys"
mount --bind /dev "$ROOT/dev"
mount --bind /dev/pts "$ROOT/dev/pts"
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
mkdir -p -m 0700 "$ROOT/run/user/0"

say "installing $(basename "$DEB") with apt-get"
cp "$DEB" "$ROOT/tmp/"
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$DEB")" >"$ROOT/tmp/apt.log" 2>&1 ||
  { tail -n 30 "$ROOT/tmp/apt.log"; fail "apt-get install"; }
grep -E '^([0-9]+ upgraded|Setting up tavero-player)' "$ROOT/tmp/apt.log"
in_root dpkg -s tavero-player | grep -E '^(Status|Version)'

say "libraries"
for exe in /usr/lib/tavero-player/tavero-player /usr/lib/tavero-player/tavero-help; do
  missing="$(in_root ldd "$exe" | grep 'not found' || true)"
  [ -z "$missing" ] || fail "$exe: $missing"
  echo "$exe: all libraries found"
done

say "starting the installed player for ${RUN_SECONDS}s"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=352x288:rate=25" \
  -f lavfi -i "sine=frequency=330:sample_rate=44100" -t 20 -target pal-vcd "$ROOT/tmp/clip.mpg"
# The player is started through the bin/ link as a user would; the kernel's
# view of its executable is what it takes its program folder from.
set +e
in_root QT_QPA_PLATFORM=offscreen /bin/sh -c '
  tavero-player /tmp/clip.mpg >/tmp/player.out 2>&1 &
  pid=$!
  sleep '"$RUN_SECONDS"'
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid; echo "the player exited early with status $?"; exit 1
  fi
  exe=$(readlink /proc/$pid/exe)
  echo "running as $exe"
  kill $pid; wait $pid 2>/dev/null
  dir=$(dirname "$exe")
  [ -f "$dir/THelp.hlp" ] || { echo "no THelp.hlp in $dir"; exit 1; }
  echo "help file: $dir/THelp.hlp"
  [ -x "$dir/tavero-help" ] || { echo "no tavero-help in $dir"; exit 1; }
  "$dir/tavero-help" "$dir/THelp.hlp" >/tmp/help.out 2>&1 &
  pid=$!
  sleep 3
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid; echo "the help viewer exited early with status $?"; exit 1
  fi
  echo "tavero-help shows it"
  kill $pid; wait $pid 2>/dev/null
  exit 0'
rc=$?
set -e
for out in player help; do
  if [ -s "$ROOT/tmp/$out.out" ]; then
    echo "-- $out output:"
    cat "$ROOT/tmp/$out.out"
  fi
done
[ $rc -eq 0 ] || fail "the installed program did not run"

say "OK: the package installs on a clean Debian 12 and the player starts and finds its help"

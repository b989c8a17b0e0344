#!/usr/bin/env bash
# Measures the suite against the hand-made faults in tests/mutants.txt:
# applies one fault in place, builds the plain tree, runs the suite without
# the soak tests, and reports whether a test failed. The source file is
# always put back, whatever happens.
#
#   scripts/mutant.sh 7        fault M07
#   scripts/mutant.sh ALL      every fault in turn
#   scripts/mutant.sh check    only checks that every fault still applies
#   scripts/mutant.sh P07      fault P07 of another list (LIST=...)
#
# LIST (default tests/mutants.txt) is the list of faults, BUILD (default
# build) the tree, JOBS (default 2) the parallel jobs. FIRST (a ctest -R
# pattern) names the quick programs to run before the rest: a fault they
# catch costs seconds instead of the whole suite.
# Each result is also appended to $BUILD/mutants.log.
set -uo pipefail
cd "$(dirname "$0")/.."
LIST=${LIST:-tests/mutants.txt}
BUILD=${BUILD:-build}
JOBS=${JOBS:-2}

ids() { sed -n 's/^\([A-Z][0-9][0-9]*\) .*/\1/p' "$LIST"; }

# Writes the faulty line into the file, or with DRY=1 only checks that it
# would: the old line must be on the line named (it may stand elsewhere
# too: a step's line is often repeated in a neighbouring handler).
apply() {
  ID="$1" DRY="${2:-0}" LIST="$LIST" perl -e '
    use strict; use warnings;
    my ($id, $dry) = ($ENV{ID}, $ENV{DRY});
    open my $l, "<", $ENV{LIST} or die "no list\n";
    my ($file, $line, $old, $new, $in);
    while (<$l>) {
      chomp;
      if (/^([A-Z]\d+) ([^:]+):(\d+): /) { $in = ($1 eq $id); ($file, $line) = ($2, $3) if $in; next; }
      next unless $in;
      if (/^- (.*)$/) { $old = $1; } elsif (/^\+ (.*)$/) { $new = $1; last; }
    }
    die "$id: no such fault\n" unless defined $new;
    open my $f, "<", $file or die "$id: cannot read $file\n";
    my @lines = <$f>; close $f;
    die "$id: the old line is not on line $line of $file\n"
      unless $line >= 1 && $line <= @lines && $lines[$line - 1] =~ /^\s*\Q$old\E\s*$/;
    $lines[$line - 1] =~ s/\Q$old\E/$new/;
    if (!$dry) { open my $o, ">", $file or die; print $o @lines; close $o; }
    print "$file\n";
  '
}

run_one() {
  local id="$1" file backup result
  file=$(apply "$id" 1) || return 1
  backup=$(mktemp)
  cp "$file" "$backup"
  # Put back by rewriting, not by copying the old time stamp: the build
  # has to see the file as newer than the faulty object.
  trap 'cat "'"$backup"'" > "'"$file"'"; rm -f "'"$backup"'"' EXIT INT TERM
  apply "$id" >/dev/null || return 1
  local log="$BUILD/mutant-$id.log" targets=()
  # The quick programs alone are built first (FIRST names them, as ctest
  # does: "a|b$").
  [ -n "${FIRST:-}" ] && read -ra targets <<<"$(tr '|' ' ' <<<"${FIRST//\$/}")"
  if ! cmake --build "$BUILD" -j "$JOBS" ${targets[@]:+--target "${targets[@]}"} >"$log" 2>&1; then
    result="does not build"
  else
    if [ -n "${FIRST:-}" ]; then
      (cd "$BUILD" && ctest -LE "soak|build" -R "$FIRST" -j "$JOBS" --stop-on-failure) >>"$log" 2>&1 ||
        true
      grep -q '[0-9]* - [^ ]* (' "$log" ||
        { cmake --build "$BUILD" -j "$JOBS" >>"$log" 2>&1 &&
          (cd "$BUILD" && ctest -LE "soak|build" -E "$FIRST" -j "$JOBS" --stop-on-failure) >>"$log" 2>&1; }
    else
      (cd "$BUILD" && ctest -LE "soak|build" -j "$JOBS" --stop-on-failure) >>"$log" 2>&1
    fi
    local failed
    failed=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log" | sort -u | paste -sd, -)
    if [ -n "$failed" ]; then result="caught ($failed)"; else result="not caught"; fi
  fi
  cat "$backup" > "$file"
  rm -f "$backup"
  trap - EXIT INT TERM
  echo "$id $result" | tee -a "$BUILD/mutants.log"
}

case "${1:-}" in
  check)
    status=0
    for id in $(ids); do apply "$id" 1 >/dev/null || status=1; done
    exit $status ;;
  ALL)
    [ -d "$BUILD" ] || { echo "no build tree $BUILD: run make build first" >&2; exit 2; }
    for id in $(ids); do run_one "$id"; done ;;
  [0-9]*)
    [ -d "$BUILD" ] || { echo "no build tree $BUILD: run make build first" >&2; exit 2; }
    run_one "$(printf 'M%02d' "$((10#$1))")" ;;
  [A-Z][0-9]*)
    [ -d "$BUILD" ] || { echo "no build tree $BUILD: run make build first" >&2; exit 2; }
    run_one "$1" ;;
  *)
    sed -n '2,14s/^# \{0,1\}//p' "$0"; exit 2 ;;
esac

#!/usr/bin/env bash
# The disc reader's fuzz targets (fuzz/*.cpp), built by clang with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh build DIR            builds every target in DIR
#   scripts/fuzz.sh regress DIR TARGET   runs TARGET once over each input of its
#                                        corpus: fuzz/corpus/TARGET (cases kept,
#                                        those that once failed among them) and
#                                        DIR/seeds/TARGET (made from the test discs)
#   scripts/fuzz.sh SECONDS [TARGET...]  fuzzes each target (all by default) for
#                                        SECONDS in build-fuzz/; new inputs are kept
#                                        in build-fuzz/corpus/TARGET, crashes in
#                                        build-fuzz/crashes/
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build() {
  local dir=$1
  cmake -S "$top/fuzz" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

corpora() {   # the corpus folders of a target that exist
  local dir=$1 target=$2
  for c in "$dir/corpus/$target" "$top/fuzz/corpus/$target" "$dir/seeds/$target"; do
    [ -d "$c" ] && echo "$c"
  done
  return 0
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

case "${1:-}" in
build)
  build "$2"
  ;;
regress)
  dir=$2 target=$3
  mapfile -t dirs < <(corpora "$dir" "$target" | grep -v "^$dir/corpus/")
  [ ${#dirs[@]} -gt 0 ] || { echo "no corpus for $target"; exit 1; }
  "$dir/fuzz_$target" -runs=0 "${dirs[@]}"
  ;;
''|-h|--help)
  sed -n '2,16p' "$0"
  ;;
*)
  seconds=$1; shift
  dir=$top/build-fuzz
  build "$dir"
  # The seeds come from the test discs, which the main build makes.
  seeds=${SEEDS:-$top/build/fuzz/seeds}
  [ -d "$seeds" ] && { rm -rf "$dir/seeds"; cp -r "$seeds" "$dir/seeds"; }
  targets=("$@")
  [ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(cd "$top/fuzz" && ls *.cpp | sed 's/\.cpp$//')
  mkdir -p "$dir/crashes"
  for t in "${targets[@]}"; do
    mkdir -p "$dir/corpus/$t"
    mapfile -t dirs < <(corpora "$dir" "$t")
    echo "== $t for $seconds s"
    "$dir/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$dir/crashes/$t-" "${dirs[@]}" 2>&1 | tee "$dir/$t.log" | grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)|stat::(number_of_executed_units|new_units_added)|ERROR' || true
  done
  ;;
esac

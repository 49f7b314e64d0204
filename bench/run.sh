#!/usr/bin/env bash
# Times Korvel against ripgrep on a corpus of PAIRS aligned pairs, built in a
# temporary folder from ../shared/corpus (generated text when it is absent).
#
# Usage: bench/run.sh [PAIRS]              one run: the engine's table, then
#                                          whole korvel-cli processes against
#                                          rg (bench/oneshot.sh)
#        bench/run.sh --oneshot [PAIRS]    the whole-process table only
#        bench/run.sh --corpus DIR [PAIRS] builds the corpus in DIR and stops
#        bench/run.sh --scaling [SIZES]    comma-separated sizes (default
#                                          100k,1M,3M,10M), figures and plot
#                                          written to bench/results/
# Sizes take a k or M suffix. Environment: KORVEL_BUILD_DIR (default build),
# KORVEL_BENCH_CORPUS (default ../shared/corpus), KORVEL_BENCH_RUNS (5),
# TMPDIR.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=${KORVEL_BUILD_DIR:-$repo/build}
[[ $build = /* ]] || build=$repo/$build
source_corpus=${KORVEL_BENCH_CORPUS:-$repo/../shared/corpus}
runs=${KORVEL_BENCH_RUNS:-5}
files_per_side=16
seed_pairs=20000  # of generated text, repeated like the real corpus

say() { echo "$*" >&2; }
die() { say "bench/run.sh: $*"; exit 2; }

# 100k -> 100000, 3M -> 3000000
parse_size() {
  local s=$1
  case $s in
    *[kK]) s=$((${s%?} * 1000)) ;;
    *M) s=$((${s%?} * 1000000)) ;;
  esac
  [[ $s =~ ^[0-9]+$ ]] && ((s > 0)) || die "not a number of pairs: $1"
  echo "$s"
}

install_missing() {  # COMMAND PACKAGE
  command -v "$1" >/dev/null && return
  local sudo=()
  [ "$(id -u)" = 0 ] || sudo=(sudo)
  say "Installing $2"
  # The lock timeout waits for another apt run instead of failing.
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$2" >&2 ||
    { "${sudo[@]}" apt-get update -qq >&2 &&
      DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$2" >&2; }
}

build_bench() {
  [ -f "$build/build.ninja" ] || cmake -S "$repo" -B "$build" -G Ninja >&2
  # Two jobs at most: the machine is shared.
  cmake --build "$build" -j 2 --target korvel-bench >&2
}

# Sentences over a small vocabulary with a word-by-word translation, holding
# every word the queries look for except the absent one.
generate_seed() {  # FOLDER PAIRS
  mkdir -p "$1"
  awk -v n="$2" -v en="$1/gen.EN.txt" -v zh="$1/gen.ZH.txt" 'BEGIN {
    srand(7)
    # Repeated entries make the common words common.
    v = "the: the: the: the: the: a:一个 and:和 and:和 of:的 of:的 to: to: is:是 with:和 this:这 not:不 from:从 will:会 said:说 " \
        "people:人们 house:房子 time:时间 year:年 work:工作 work:劳动 works:工作 worked:工作了 give:给 " \
        "world:世界 water:水 life:生活 country:国家 river:河 money:钱 garden:花园 letter:信 " \
        "colour:颜色 color:颜色 colours:颜色 development:发展 economy:经济 government:政府 " \
        "growth:发展 we:我们 they:他们 city:城市 new:新 old:旧 good:好 today:今天 road:路 " \
        "school:学校 friend:朋友 book:书 market:市场 policy:政策 report:报告 ask:问 see:看见 " \
        "give_up:放弃 gave_up:放弃了 gives_up:放弃 giving_up:放弃 workshop:车间 homework:作业"
    m = split(v, pair, " ")
    for (i = 1; i <= m; i++) {
      split(pair[i], kv, ":")
      w[i] = kv[1]; gsub(/_/, " ", w[i]); t[i] = kv[2]
    }
    for (l = 0; l < n; l++) {
      k = 5 + int(rand() * 10)
      e = ""; z = ""
      for (j = 0; j < k; j++) {
        i = 1 + int(rand() * m)
        e = e (j ? " " : "") w[i]; z = z t[i]
      }
      print toupper(substr(e, 1, 1)) substr(e, 2) "." > en
      print z "。" > zh
    }
  }'
}

# Repeats the source pairs into $files_per_side file pairs of PAIRS lines in
# all, the last repetition cut short; line N of each EN file stays aligned
# with line N of its ZH twin.
make_corpus() {  # FOLDER PAIRS
  local dir=$1 pairs=$2 bases=() lines=0 bytes=0 base n
  if [ -d "$source_corpus" ]; then
    for en in "$source_corpus"/*.EN.txt; do
      base=${en%.EN.txt}
      [ -f "$base.ZH.txt" ] || continue
      n=$(wc -l <"$en")
      if [ "$n" = 0 ] || [ "$n" != "$(wc -l <"$base.ZH.txt")" ] ||
        [ -n "$(tail -c1 "$en")" ] || [ -n "$(tail -c1 "$base.ZH.txt")" ]; then
        say "skipping ${base##*/}: line counts differ or no final line break"
        continue
      fi
      bases+=("$base")
      lines=$((lines + n))
      bytes=$((bytes + $(stat -c %s "$en") + $(stat -c %s "$base.ZH.txt")))
    done
  fi
  if [ ${#bases[@]} = 0 ]; then
    say "No corpus at $source_corpus: using generated text"
    generate_seed "$dir/.seed" "$seed_pairs"
    bases=("$dir/.seed/gen")
    lines=$seed_pairs
    bytes=$(($(stat -c %s "$dir/.seed/gen.EN.txt") + $(stat -c %s "$dir/.seed/gen.ZH.txt")))
  fi

  local need=$((bytes / lines * pairs * 11 / 10 + 64 * 1024 * 1024))
  local avail=$(($(df -Pk "$dir" | awk 'NR == 2 { print $4 }') * 1024))
  ((need < avail)) || die "$((need >> 20)) MiB needed in $dir, $((avail >> 20)) MiB free"

  local reps=$(((pairs + lines - 1) / lines)) chunk=$(((pairs + files_per_side - 1) / files_per_side))
  say "Building a corpus of $pairs pairs from ${#bases[@]} file pairs ($lines pairs) in $dir"
  set +o pipefail  # head closing the pipe early is the point
  for side in EN ZH; do
    for ((r = 0; r < reps; r++)); do
      for base in "${bases[@]}"; do cat "$base.$side.txt"; done
    done | head -n "$pairs" | split -l "$chunk" -d -a 2 --additional-suffix=".$side.txt" - "$dir/part"
  done
  set -o pipefail
  rm -rf "$dir/.seed"
}

tmp=
oneshot=1
cleanup() { [ -z "$tmp" ] || rm -rf "$tmp"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

run_one() {  # PAIRS [korvel-bench options]
  local pairs=$1
  shift
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/korvel-bench.XXXXXX")
  make_corpus "$tmp" "$pairs"
  "$build/bin/korvel-bench" --runs "$runs" "$@" "$tmp"
  [ "$oneshot" = 0 ] || "$here/oneshot.sh" "$tmp" "$runs"
  rm -rf "$tmp"
  tmp=
}

plot() {  # CSV PNG
  gnuplot -c "$here/scaling.gp" "$1" "$2"
}

install_missing rg ripgrep
if [ "${1:-}" = --corpus ]; then
  mkdir -p "$2"
  make_corpus "$2" "$(parse_size "${3:-1000000}")"
elif [ "${1:-}" = --oneshot ]; then
  pairs=$(parse_size "${2:-1000000}")
  cmake --build "$build" -j 2 --target korvel-cli >&2
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/korvel-bench.XXXXXX")
  make_corpus "$tmp" "$pairs"
  "$here/oneshot.sh" "$tmp" "$runs"
elif [ "${1:-}" = --scaling ]; then
  oneshot=0
  install_missing gnuplot gnuplot-nox
  build_bench
  results=$here/results
  mkdir -p "$results"
  csv=$results/scaling.csv
  rm -f "$csv.new"
  : >"$results/scaling.txt.new"
  IFS=, read -r -a sizes <<<"${2:-100k,1M,3M,10M}"
  for s in "${sizes[@]}"; do
    pairs=$(parse_size "$s")
    run_one "$pairs" --csv "$csv.new" | tee -a "$results/scaling.txt.new"
    echo >>"$results/scaling.txt.new"
  done
  mv "$csv.new" "$csv"
  mv "$results/scaling.txt.new" "$results/scaling.txt"
  plot "$csv" "$results/scaling.png"
  say "Wrote $csv, $results/scaling.txt and $results/scaling.png"
elif [ "${1:-}" = --compare ]; then
  # --compare OTHER-BUILD [PAIRS]: the other build's korvel-bench and this
  # one's on one corpus, taking turns, so both see the same machine.
  other=$2
  pairs=$(parse_size "${3:-1000000}")
  build_bench
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/korvel-bench.XXXXXX")
  make_corpus "$tmp" "$pairs"
  for round in 1 2; do
    for b in "$other" "$build"; do
      say "round $round: $b"
      "$b/bin/korvel-bench" --runs "$runs" "$tmp"
    done
  done
else
  pairs=$(parse_size "${1:-1000000}")
  build_bench
  run_one "$pairs"
fi

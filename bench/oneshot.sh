#!/usr/bin/env bash
# Whole korvel-cli processes against ripgrep on a corpus folder: the first
# run (no corpus cache: it loads from the sources and writes the cache),
# runs with the cache, and runs with --no-cache, each query's median of RUNS,
# beside rg's; then a lookup process and the memory of a cached search. The cache goes to a temporary folder, removed at the end.
# Usage: bench/oneshot.sh DIR [RUNS]    (KORVEL_BUILD_DIR as for run.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${KORVEL_BUILD_DIR:-$(dirname "$here")/build}
[[ $build = /* ]] || build=$(dirname "$here")/$build
cli=$build/bin/korvel-cli
dir=$1
runs=${2:-5}
command -v rg >/dev/null || { echo "bench/oneshot.sh: needs ripgrep" >&2; exit 2; }
[ -x "$cli" ] || { echo "bench/oneshot.sh: no $cli (set KORVEL_BUILD_DIR)" >&2; exit 2; }
export XDG_CACHE_HOME
XDG_CACHE_HOME=$(mktemp -d "${TMPDIR:-/tmp}/korvel-oneshot.XXXXXX")
trap 'rm -rf "$XDG_CACHE_HOME"' EXIT

ms() {  # COMMAND...: milliseconds of one run, output discarded
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}
median() {  # RUNS COMMAND...
  local n=$1 i
  shift
  for ((i = 0; i < n; i++)); do ms "$@"; done | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

en=("$dir"/*.EN.txt)
zh=("$dir"/*.ZH.txt)
# The cache does not depend on the query: the first run writes it, and the
# runs after that find it stamped (a file is stamped 2 s after it changed).
first=$(ms "$cli" search --count work "$dir")
sleep 2.5
"$cli" search --count work "$dir" >/dev/null 2>&1 || true
echo "first run (loads the sources, writes the cache): $first ms"
printf '%-18s %-6s %8s %8s %8s %10s %10s\n' query dic cached no-cache rg cached/rg no-cache/rg
ratios=()
for q in work "give up" "colou?r" xylophonequartz 发展 "发展|经济|政府"; do
  case $q in
    *[a-z]*) rgargs=(-c -i -w -e "$q" "${en[@]}") ;;
    *) rgargs=(-c -F -e "$q" "${zh[@]}") ;;
  esac
  [ "$q" = "发展|经济|政府" ] && rgargs=(-c -e "$q" "${zh[@]}")
  [ "$q" = "colou?r" ] && rgargs=(-c -i -e "$q" "${en[@]}")
  r=$(median "$runs" rg "${rgargs[@]}")
  for dic in default /nonexistent; do
    opts=()
    [ $dic = default ] || opts=(--dic "$dic")
    cached=$(median "$runs" "$cli" search --count "${opts[@]}" "$q" "$dir")
    plain=$(median "$runs" "$cli" search --count --no-cache "${opts[@]}" "$q" "$dir")
    printf '%-18s %-6s %8s %8s %8s %10.2f %10.2f\n' "$q" "${dic##*/}" "$cached" "$plain" "$r" \
      "$(echo "$cached / $r" | bc -l)" "$(echo "$plain / $r" | bc -l)"
    [ $dic = default ] && ratios+=("$(echo "$cached / $r" | bc -l)")
  done
done
printf '%s\n' "${ratios[@]}" | sort -g | awk '{ a[NR] = $1 } END {
  printf "cached/rg with the word lists: median %.2f, worst %.2f\n", (a[int((NR + 1) / 2)] + a[int(NR / 2) + 1]) / 2, a[NR] }'
printf '%-18s %-6s %8s\n' lookup default "$(median "$runs" "$cli" lookup work)"
# The anonymous memory of a cached search, read just before it exits.
anon=$(KORVEL_REPORT_MEMORY=1 "$cli" search --count --dic /nonexistent work "$dir" 2>&1 >/dev/null |
  awk '/^RssAnon/ { print $2 }')
corpus=$(du -sb "$dir" | cut -f1)
[ -z "$anon" ] || echo "RssAnon of a cached search $((anon >> 10)) MiB (limit 0.2 x corpus + 64 MiB = $((corpus / 5 / 1048576 + 64)) MiB)"
cache=$(du -sb "$XDG_CACHE_HOME"/korvel/corpora | cut -f1)
echo "corpus $((corpus >> 20)) MiB, cache $((cache >> 20)) MiB ($(echo "$cache / $corpus" | bc -l | cut -c1-4)x)"

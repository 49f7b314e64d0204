#!/usr/bin/env bash
# Whole korvel-cli processes against ripgrep on a corpus folder: the first
# run (no corpus cache: it loads from the sources and writes the cache),
# runs with the cache, and runs with --no-cache, each query's median of RUNS,
# beside rg's. The cache goes to a temporary folder, removed at the end.
# Usage: bench/oneshot.sh DIR [RUNS]    (KORVEL_BUILD_DIR as for run.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${KORVEL_BUILD_DIR:-$(dirname "$here")/build}
[[ $build = /* ]] || build=$(dirname "$here")/$build
cli=$build/bin/korvel-cli
dir=$1
runs=${2:-5}
command -v rg >/dev/null || { echo "bench/oneshot.sh: needs ripgrep" >&2; exit 2; }
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
printf '%-18s %-6s %8s %8s %8s %8s %10s %10s\n' query dic first cached no-cache rg cached/rg no-cache/rg
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
    rm -rf "$XDG_CACHE_HOME"/korvel
    first=$(ms "$cli" search --count "${opts[@]}" "$q" "$dir")
    cached=$(median "$runs" "$cli" search --count "${opts[@]}" "$q" "$dir")
    plain=$(median "$runs" "$cli" search --count --no-cache "${opts[@]}" "$q" "$dir")
    printf '%-18s %-6s %8s %8s %8s %8s %10.2f %10.2f\n' "$q" "${dic##*/}" "$first" "$cached" "$plain" "$r" \
      "$(echo "$cached / $r" | bc -l)" "$(echo "$plain / $r" | bc -l)"
  done
done
corpus=$(du -sb "$dir" | cut -f1)
cache=$(du -sb "$XDG_CACHE_HOME"/korvel/corpora | cut -f1)
echo "corpus $((corpus >> 20)) MiB, cache $((cache >> 20)) MiB ($(echo "$cache / $corpus" | bc -l | cut -c1-4)x)"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS seconds
# (default 30) on a scratch copy of its seed folder.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
# Environment: KORVEL_FUZZ_BUILD_DIR (default build-fuzz), KORVEL_FUZZ_JOBS
# (build jobs, default 2). A crash leaves its input in a folder outside the
# repository, named at the end, and makes the script exit non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

secs=${1:-30}
[[ $secs =~ ^[0-9]+$ ]] || { echo "usage: fuzz/run.sh [SECONDS] [TARGET...]" >&2; exit 2; }
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(decode dictionary query pattern page source table cache)
for t in "${targets[@]}"; do
  [ -d "fuzz/seeds/$t" ] || { echo "unknown target: $t" >&2; exit 2; }
done

packages=(clang libclang-rt-14-dev cmake ninja-build pkg-config libpcre2-dev libicu-dev libexpat1-dev libxlsxwriter-dev libxxhash-dev opencc libopencc-data)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then sudo=(); else sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${KORVEL_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVEL_FUZZ=ON -DKORVEL_BUILD_APP=OFF -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${KORVEL_FUZZ_JOBS:-2}" --target "${targets[@]/#/korvel_fuzz_}"

work=$(mktemp -d "${TMPDIR:-/tmp}/korvel-fuzz-run.XXXXXX")
mkdir -p "$work/tmp"
failed=()
for t in "${targets[@]}"; do
  corpus="$work/corpus-$t"
  cp -r "fuzz/seeds/$t" "$corpus"
  log="$work/$t.log"
  # The targets' scratch files and the tables they cache go to $work; -fork
  # is left out so that a crash stops the run at its first input.
  set +e
  TMPDIR="$work/tmp" XDG_CACHE_HOME="$work/cache" "$build/fuzz/korvel_fuzz_$t" "$corpus" -max_total_time="$secs" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/crash-$t-" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ $rc -eq 0 ]; then
    echo "$t: ${runs:-?} executions in ${secs} s"
  else
    echo "$t: FAILED (exit $rc) after ${runs:-?} executions"
    grep -E "ERROR|invariant broken|runtime error|SUMMARY|Test unit written" "$log" | head -n 20 | sed 's/^/  /'
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failing targets: ${failed[*]}; logs and crash inputs kept in $work" >&2
  exit 1
fi
rm -rf "$work"

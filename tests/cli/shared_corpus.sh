#!/usr/bin/env bash
# Hit counts on the real corpus beside the repository; skipped without it.
set -u
cli=$1
corpus=$2
[ -d "$corpus" ] || { echo "no corpus at $corpus: skipped"; exit 77; }
failures=0
count() {
  local n
  n=$("$cli" search --count "$@" 2>/dev/null)
  local status=$?
  echo "korvel-cli search --count $* -> $n (status $status)"
  if [ $status -gt 1 ] || ! [[ $n =~ ^[0-9]+$ ]]; then failures=$((failures + 1)); fi
  [ "${n:-0}" -gt 0 ] || failures=$((failures + 1))
}
count work "$corpus"
count "give up" "$corpus"
count --lemma "give up" "$corpus"
count "colou?r" "$corpus"
count 发展 "$corpus"
count --filter 工作 work "$corpus"
count --filter 工作 --exclude work "$corpus"
exit $((failures > 0))

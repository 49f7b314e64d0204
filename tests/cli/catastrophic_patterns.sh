#!/usr/bin/env bash
# Expressions that backtrack catastrophically, over long lines: each search
# ends with hits (0), none (1) or a limit error that says so (2), never a
# hang. Durations are printed for the record; they decide nothing here.
# Usage: catastrophic_patterns.sh KORVEL-CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
mkdir "$work/dic" "$work/c"

# Each line is the worst case of some expression below: a run of letters
# that (a+)+$ cannot end on, x's without the y, eleven a's for twelve
# (.*a), one "=" that .*.*= must find from every split, "give it up"
# without "now", and words to show ordinary lines still answer.
lines=(
  "$(head -c 100000 /dev/zero | tr '\0' a)!"
  "$(head -c 100000 /dev/zero | tr '\0' x)!y"
  "$(for i in {1..11}; do printf 'a%s' "$(head -c 1000 /dev/zero | tr '\0' b)"; done)"
  "=$(head -c 1000000 /dev/zero | tr '\0' a)"
  "$(for i in {1..100000}; do printf 'give it up '; done)"
  "the quick brown fox jumps over the lazy dog"
)
printf '%s\n' "${lines[@]}" >"$work/c/long.EN.txt"
for _ in "${lines[@]}"; do printf '\xe4\xb8\x80\n'; done >"$work/c/long.ZH.txt"
# The same lines on the Chinese side, for the filter.
printf 'work\n%.0s' "${lines[@]}" >"$work/c/aligned.EN.txt"
printf '%s\n' "${lines[@]}" >"$work/c/aligned.ZH.txt"

# try LABEL ARGS...: one search with a 10 s guard against a hang.
try() {
  local label=$1
  shift
  local start end status
  start=$(date +%s%N)
  timeout 10 "$cli" search --count --dic "$work/dic" "$@" >"$work/out" 2>"$work/err"
  status=$?
  end=$(date +%s%N)
  local ms=$(((end - start) / 1000000))
  local last
  last=$(tail -n 1 "$work/err")
  case $status in
    0 | 1) echo "$label: status $status, $(cat "$work/out") hit(s), ${ms} ms" ;;
    2)
      echo "$label: status 2, '$last', ${ms} ms"
      case $last in
        "korvel-cli: match limit exceeded." | "korvel-cli: depth limit exceeded." | \
          "korvel-cli: JIT stack limit reached." | "korvel-cli: heap limit exceeded.") ;;
        *) fail "$label: unclear message '$last'" ;;
      esac
      ;;
    124) fail "$label: still running after 10 s" ;;
    *) fail "$label: status $status: $last" ;;
  esac
}

for pattern in '(a+)+$' '(x+x+)+y' '(.*a){12}' '.*.*=' '.*.*.*=' 'give.*up.*now' 'a.{0,60000}=' \
  '(\w+\s?)*$' '(a|aa)+$' '(a*)*b' '[a-z]+[0-9]+'; do
  try "$pattern" "$pattern" "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
  try "--filter $pattern" --filter "$pattern" work "$work/c/aligned.EN.txt" "$work/c/aligned.ZH.txt"
done
# Ordinary expressions still find their lines among the long ones.
try 'fox.*dog' 'fox.*dog' "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
[ "$(cat "$work/out")" = 1 ] || fail "fox.*dog: $(cat "$work/out") hit(s), expected 1"
try 'give it up' 'give it up' "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
[ "$(cat "$work/out")" = 1 ] || fail "give it up: $(cat "$work/out") hit(s), expected 1"

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "every expression ended with an answer or a clear limit error"

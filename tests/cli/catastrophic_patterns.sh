#!/usr/bin/env bash
# Expressions that backtrack catastrophically, over long lines: each run
# (search, result page and export) ends with hits (0), none (1) or a limit
# error that says so (2), never a hang. Durations are printed for the
# record; they decide nothing here.
# Usage: catastrophic_patterns.sh KORVEL-CLI [LINE-LENGTH...]
# (default 100000 and 1000000; the record in docs/robustness.md adds 50000000)
set -u
cli=$1
shift
sizes=("${@:-100000 1000000}")
read -r -a sizes <<<"${sizes[*]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Corpus caches go into the scratch folder, never the user's own.
export XDG_CACHE_HOME="$work/cache"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
mkdir "$work/dic" "$work/c"

# fill N TEXT: TEXT repeated to N bytes
fill() { yes "$2" | tr -d '\n' | head -c "$1"; }

# try LABEL ARGS...: search, page and export in one run, with a 10 s guard
# against a hang.
try() {
  local label=$1
  shift
  local start end status last
  start=$(date +%s%N)
  timeout 10 "$cli" search --dic "$work/dic" --html "$work/page.html" --tsv "$work/out.tsv" "$@" \
    >/dev/null 2>"$work/err"
  status=$?
  end=$(date +%s%N)
  local ms=$(((end - start) / 1000000))
  last=$(grep -v '^korvel-cli: in the \(query\|filter\)$' "$work/err" | tail -n 1)
  case $status in
    0 | 1) hits=$(wc -l <"$work/out.tsv"); echo "$label: status $status, $hits hit(s), ${ms} ms" ;;
    2)
      echo "$label: status 2, '$last', ${ms} ms"
      case $last in
        "korvel-cli: "*" limit "*": the "*" backtracks too much on line "*" of \""*"\"; make it more specific." | \
          "korvel-cli: (*NO_"*") is not allowed"*) ;;
        *) fail "$label: unclear message '$last'" ;;
      esac
      ;;
    124) fail "$label: still running after 10 s" ;;
    *) fail "$label: status $status: $last" ;;
  esac
}

for size in "${sizes[@]}"; do
  echo "--- lines of $size characters"
  # Each line is the worst case of some expression below: a run of letters
  # that (a+)+$ cannot end on, x's without the y, eleven a's for twelve
  # (.*a), one "=" that .*.*= must find from every split, "give it up"
  # without "now", "the" without "xyzzy", and a short line to show
  # ordinary lines still answer.
  lines=(
    "$(fill "$size" a)!"
    "$(fill "$size" x)!y"
    "$(for i in {1..11}; do printf 'a'; fill $((size / 11)) b; done)"
    "=$(fill "$size" a)"
    "$(fill "$size" 'give it up ')"
    "$(fill "$size" 'the ')"
    "the quick brown fox jumps over the lazy dog"
  )
  printf '%s\n' "${lines[@]}" >"$work/c/long.EN.txt"
  for _ in "${lines[@]}"; do printf '\xe4\xb8\x80\n'; done >"$work/c/long.ZH.txt"
  # The same lines on the Chinese side, for the filter.
  printf 'work\n%.0s' "${lines[@]}" >"$work/c/aligned.EN.txt"
  printf '%s\n' "${lines[@]}" >"$work/c/aligned.ZH.txt"

  for pattern in '(a+)+$' '(x+x+)+y' '(.*a){12}' '.*.*=' '.*.*.*=' 'give.*up.*now' 'a.{0,60000}=' \
    '(\w+\s?)*$' '(a|aa)+$' '(a*)*b' '[a-z]+[0-9]+' '(?!#)[^#]*[%`]' 'the.*.*xyzzy|the' \
    '(*NO_JIT)a[^#]*[bc]' '(*NO_START_OPT)a[^#]*[bc]'; do
    try "$pattern" "$pattern" "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
    try "--filter $pattern" --filter "$pattern" work "$work/c/aligned.EN.txt" "$work/c/aligned.ZH.txt"
  done
  # Ordinary expressions still find their lines among the long ones.
  try 'fox.*dog' 'fox.*dog' "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
  [ "$(wc -l <"$work/out.tsv")" = 1 ] || fail "fox.*dog: $(wc -l <"$work/out.tsv") hit(s), expected 1"
  try 'give it up' 'give it up' "$work/c/long.EN.txt" "$work/c/long.ZH.txt"
  [ "$(wc -l <"$work/out.tsv")" = 1 ] || fail "give it up: $(wc -l <"$work/out.tsv") hit(s), expected 1"
done

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "every expression ended with an answer or a clear limit error"

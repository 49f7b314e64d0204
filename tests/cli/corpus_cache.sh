#!/usr/bin/env bash
# korvel-cli and the corpus cache: written after the answer (a pipeline's
# reader is not kept waiting), used and listed after, never touched with
# --no-cache, and cleared of its own files only.
set -u
cli=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
caches=$XDG_CACHE_HOME/korvel/corpora
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$cli" search --no-cache "give up" "$corpus" >"$work/plain.tsv" 2>/dev/null
[ -e "$caches" ] && fail "--no-cache made $caches"

# The first run's answer arrives whole through a pipe, and the cache with it.
"$cli" search "give up" "$corpus" 2>/dev/null | cat >"$work/first.tsv"
cmp -s "$work/plain.tsv" "$work/first.tsv" || fail "the first run's answer differs"
n=$(find "$caches" -name '*.kvc' | wc -l)
[ "$n" -gt 0 ] || fail "no cache written"
[ "$(stat -c %a "$caches")" = 700 ] || fail "folder mode $(stat -c %a "$caches")"
"$cli" search "give up" "$corpus" >"$work/cached.tsv" 2>/dev/null
cmp -s "$work/plain.tsv" "$work/cached.tsv" || fail "the cached run's answer differs"
"$cli" search --count --no-cache --lemma "give up" "$corpus" >/dev/null 2>&1
[ "$(find "$caches" -name '*.kvc' | wc -l)" = "$n" ] || fail "--no-cache changed the cache"

"$cli" cache info >"$work/info" 2>&1 || fail "cache info failed"
grep -q "^Location: $caches$" "$work/info" || fail "info: $(head -1 "$work/info")"
grep -q "in $n caches\? " "$work/info" || fail "info: $(sed -n 2p "$work/info")"
[ "$(grep -c "$corpus/" "$work/info")" = "$n" ] || fail "info lists $(grep -c "$corpus/" "$work/info") of $n sources"

echo mine >"$caches/notes.txt"
"$cli" cache clear >/dev/null || fail "cache clear failed"
[ "$(find "$caches" -name '*.kvc' | wc -l)" = 0 ] || fail "caches left after clear"
[ -f "$caches/notes.txt" ] || fail "clear removed a file that is no cache"
"$cli" cache nonsense >/dev/null 2>&1
[ $? = 2 ] || fail "cache nonsense did not fail"

[ "$failures" = 0 ] && echo "corpus cache: all passed"
exit $((failures > 0))

#!/usr/bin/env bash
# korvel-cli end to end on the fixture corpus: export lines, result page,
# exit status and error messages against expected files.
# KORVEL_REGEN=1 rewrites the expected files instead of comparing.
set -u
cli=$1
fixtures=$2
expected=$fixtures/expected
corpus=$fixtures/corpus
dic=$fixtures/dic
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Corpus caches go into the scratch folder, never the user's own.
export XDG_CACHE_HOME="$work/cache"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check NAME FILE: compare FILE with expected/NAME
check() {
  if [ "${KORVEL_REGEN:-}" = 1 ]; then cp "$2" "$expected/$1"; return; fi
  cmp -s "$2" "$expected/$1" || { fail "$1 differs"; diff <(cat -A "$expected/$1") <(cat -A "$2") | head -20; }
}

# run NAME EXPECTED_STATUS ARGS...: stdout and stderr kept in $work/NAME.{out,err}
run() {
  local name=$1 want=$2; shift 2
  "$cli" "$@" >"$work/$name.out" 2>"$work/$name.err"
  local got=$?
  [ "$got" = "$want" ] || fail "$name: exit status $got, expected $want ($(cat "$work/$name.err"))"
}

# The status line holds a time; compare everything after it.
status_tail() { sed -E 's/^[0-9]+\.[0-9]{3} second\(s\), //' "$work/$1.err"; }

run phrase 0 search --dic "$dic" --html "$work/phrase.html" "give up" "$corpus"
check phrase.tsv "$work/phrase.out"
check phrase.html "$work/phrase.html"
[ "$(status_tail phrase)" = '2 item(s).   EN-ZH   @search=\b(give up)\b' ] || fail "phrase status: $(cat "$work/phrase.err")"

# Options after the query and paths, and --tsv to a file: the same bytes as stdout.
run phrase_tsv 0 search "give up" "$corpus" --dic="$dic" --tsv "$work/phrase_file.tsv"
cmp -s "$work/phrase_file.tsv" "$work/phrase.out" || fail "--tsv file differs from standard output"
[ -s "$work/phrase_tsv.out" ] && fail "--tsv must keep standard output empty"

run lemma 0 search --lemma --dic "$dic" --html "$work/lemma.html" "give up" "$corpus"
check lemma.tsv "$work/lemma.out"
check lemma.html "$work/lemma.html"

run chinese 0 search --dic "$dic" --filter hope --exclude --html "$work/chinese.html" 放弃 "$corpus"
check chinese.tsv "$work/chinese.out"
check chinese.html "$work/chinese.html"
[ "$(status_tail chinese)" = '2 item(s).   ZH-EN   @search=放弃' ] || fail "chinese status: $(cat "$work/chinese.err")"

run include 0 search --dic "$dic" --filter 颜色 --html "$work/include.html" "colou?r" "$corpus"
check include.tsv "$work/include.out"
check include.html "$work/include.html"

# Sorted by the word right of the hit ("up." has none, so it comes first),
# the context cut to 12 characters each side.
run kwic 0 search --sort 1R --kwic --width 12 up "$corpus"
check kwic.tsv "$work/kwic.out"
expect_usage() {
  local name=$1 message=$2; shift 2
  run "$name" 2 "$@"
  [ "$(cat "$work/$name.err")" = "$(printf 'korvel-cli: %s\nTry '"'"'korvel-cli --help'"'"'.' "$message")" ] ||
    fail "$name: $(cat "$work/$name.err")"
}
expect_usage sort_key '--sort takes hit, 1L, 2L, 3L, 1R, 2R, 3R, file or translation, not "1R,4L"' search --sort 1R,4L up "$corpus"
expect_usage width_alone "--width needs --kwic." search --width 5 up "$corpus"
expect_usage page_alone "--page needs --html." search --page 2 up "$corpus"
expect_usage xlsx_stdout "--xlsx needs a file name; a workbook does not go to standard output." \
  search --xlsx - up "$corpus"

# The other exports to a file or, with "-", standard output: the same bytes,
# and no export lines beside them.
# A TMX export read back gives the same hits with the same marks; only the
# file names and numbers (units, not lines) change.
run tmx_out 0 search --dic "$dic" --tmx "$work/up.tmx" up "$corpus"
run tmx_back 0 search --dic "$dic" up "$work/up.tmx"
run tmx_orig 0 search --dic "$dic" up "$corpus"
cmp -s <(cut -f5,6 "$work/tmx_orig.out") <(cut -f5,6 "$work/tmx_back.out") || fail "tmx round trip: the hits differ"
[ -s "$work/tmx_back.out" ] || fail "tmx round trip: no hits"
run csv_file 0 search --csv "$work/up.csv" up "$corpus"
[ -s "$work/csv_file.out" ] && fail "--csv must keep standard output empty"
run csv_stdout 0 search --csv - up "$corpus"
cmp -s "$work/csv_stdout.out" "$work/up.csv" || fail "--csv - differs from --csv FILE"

# The second page of 10,003 hits: numbered on from 10,001, its last row says
# which hits it holds; there is no third.
mkdir "$work/many"
seq 10003 | sed 's/^/word /' >"$work/many/m.EN.txt"
seq 10003 >"$work/many/m.ZH.txt"
run page2 0 search --html "$work/page2.html" --page 2 --count word "$work/many"
grep -qF '<td class="no" rowspan="2" >10001</td>' "$work/page2.html" || fail "page 2 does not start at 10,001"
grep -qF '<td>Showing hits 10,001–10,003 of 10,003. Save exports all of them.</td>' "$work/page2.html" ||
  fail "page 2: $(grep -F Showing "$work/page2.html")"
run page3 2 search --html "$work/page3.html" --page 3 --count word "$work/many"
[ "$(cat "$work/page3.err")" = "korvel-cli: There is no page 3 of 10,003 hits." ] || fail "page 3: $(cat "$work/page3.err")"
[ -e "$work/page3.html" ] && fail "page 3 must not write a page"

run count 0 search --count --dic "$dic" work "$corpus"
[ "$(cat "$work/count.out")" = 1 ] || fail "count: $(cat "$work/count.out")"

# 空 stands only inside the words 空行 and 天空 there.
run zh_words 1 search --count --zh-words 空 "$corpus"
[ "$(cat "$work/zh_words.out")" = 0 ] || fail "zh_words: $(cat "$work/zh_words.out")"

# 發展 is 发展 in traditional script: with --variants each finds both lines.
printf 'Growth.\nDevelopment.\nProgress.\n' >"$work/v.EN.txt"
printf '增长。\n经济發展。\n社会发展。\n' >"$work/v.ZH.txt"
run variants_off 0 search --count 发展 "$work/v.EN.txt" "$work/v.ZH.txt"
run variants_s 0 search --count --variants 发展 "$work/v.EN.txt" "$work/v.ZH.txt"
run variants_t 0 search --count --variants 發展 "$work/v.EN.txt" "$work/v.ZH.txt"
[ "$(cat "$work/variants_off.out") $(cat "$work/variants_s.out") $(cat "$work/variants_t.out")" = "1 2 2" ] ||
  fail "variants: $(cat "$work/variants_off.out" "$work/variants_s.out" "$work/variants_t.out")"
grep -qF '@search=[发發髮]展' "$work/variants_s.err" || fail "variants status: $(cat "$work/variants_s.err")"

run none 1 search --count --dic "$dic" zebra "$corpus"
[ "$(cat "$work/none.out")" = 0 ] || fail "none: $(cat "$work/none.out")"

# Individual files, in any order, form the pair; a query after "--" may start with "-".
run files 0 search --count --dic "$dic" work "$corpus/story.ZH.txt" "$corpus/story.EN.txt"
[ "$(cat "$work/files.out")" = 1 ] || fail "files: $(cat "$work/files.out")"
run dashdash 1 search --count --dic "$dic" -- --work "$corpus"

# spot: rows of four tab-separated fields, the last "(none of these)" with an
# empty score; no hits, no rows; only the options that select hits.
run spot 0 spot --top 2 --dic "$dic" give "$corpus"
grep -qP '^\(none of these\)\t[0-9]+\t[01]\.[0-9]{3}\t$' <(tail -n 1 "$work/spot.out") || fail "spot: $(cat "$work/spot.out")"
[ "$(grep -cP '^[^\t]+\t[0-9]+\t[01]\.[0-9]{3}\t-?[0-9]+\.[0-9]$' "$work/spot.out")" -le 2 ] || fail "spot --top 2"
run spot_none 1 spot --dic "$dic" zebra "$corpus"
[ -s "$work/spot_none.out" ] && fail "spot without hits prints rows"
run spot_html 2 spot --html "$work/s.html" give "$corpus"
run spot_top 2 spot --top 0 give "$corpus"

# Bad input: a clear message and status 2, never a crash.
expect_error() {
  local name=$1 message=$2; shift 2
  run "$name" 2 "$@"
  grep -qF -- "$message" "$work/$name.err" || fail "$name: expected '$message', got '$(cat "$work/$name.err")'"
}
# expect_place NAME LINE: the error's last line says where the fault lies.
expect_place() {
  [ "$(tail -n 1 "$work/$1.err")" = "$2" ] || fail "$1: expected '$2' last, got '$(cat "$work/$1.err")'"
}
expect_error paren "korvel-cli: missing closing parenthesis (pos 2)" search --dic "$dic" "(a" "$corpus"
expect_place paren "korvel-cli: in the query"
expect_error filter_paren "korvel-cli: unmatched closing parenthesis (pos 1)" search --filter "a)b" work "$corpus"
expect_place filter_paren "korvel-cli: in the filter"
expect_error possessive "korvel-cli: a repetition cannot follow a repetition (pos 2)" search --dic "$dic" "A++" "$corpus"
expect_error star "korvel-cli: quantifier does not follow a repeatable item (pos 0)" search --dic "$dic" "*" "$corpus"
expect_error verb "korvel-cli: quantifier does not follow a repeatable item (pos 0)" search --dic "$dic" "*ACCEPT" "$corpus"
# An empty file name is a mistake, not a request for nothing; a word-list
# folder that is not there is noted, and the search goes on without it.
expect_error empty_tsv "korvel-cli: empty file name for --tsv." search --tsv "" work "$corpus"
expect_error empty_html "korvel-cli: empty file name for --html." search --html= work "$corpus"
expect_error empty_dic "korvel-cli: empty file name for --dic." search --dic "" work "$corpus"
run typo_dic 0 search --count --dic "$work/typo" work "$corpus"
grep -qF "korvel-cli: note: no word-list folder \"$work/typo\"; no equivalents are marked" "$work/typo_dic.err" ||
  fail "typo_dic: $(cat "$work/typo_dic.err")"
expect_error empty "korvel-cli: The query is empty." search --dic "$dic" "  " "$corpus"
expect_error nofolder "korvel-cli: Cannot open file \"$work/missing\". No such file or directory." search work "$work/missing"
expect_error odd "korvel-cli: Cannot pair an odd number of files (3)" search work "$corpus/news.EN.txt" "$corpus/news.ZH.txt" "$corpus/story.EN.txt"
mkdir "$work/nopairs"
expect_error nopairs "holds no pair" search work "$work/nopairs"
expect_error unknown "korvel-cli: Unknown option --bogus." search --bogus work "$corpus"
expect_error shortlines "korvel-cli: List index out of bounds (3)" search work "$corpus/news.EN.txt" "$corpus/story.ZH.txt"
expect_place shortlines 'korvel-cli: "story.ZH.txt" has 3 lines, "news.EN.txt" has 6.'

# Moses pairs in both spellings, one with a .zh_CN twin, and a lone .en: the
# export of the text pairs, under the Moses names.
mkdir "$work/moses"
cp "$corpus/news.EN.txt" "$work/moses/news.en"
cp "$corpus/news.ZH.txt" "$work/moses/news.zh"
cp "$corpus/story.EN.txt" "$work/moses/story.en-zh.en"
cp "$corpus/story.ZH.txt" "$work/moses/story.en-zh.zh_CN"
cp "$corpus/lonely.EN.txt" "$work/moses/lonely.en"
run moses 0 search --dic "$dic" "give up" "$work/moses"
sed 's/news\.EN\.txt/news.en/; s/news\.ZH\.txt/news.zh/; s/story\.EN\.txt/story.en-zh.en/; s/story\.ZH\.txt/story.en-zh.zh_CN/' \
  "$expected/phrase.tsv" >"$work/moses.want"
cmp -s "$work/moses.out" "$work/moses.want" || { fail "moses differs"; diff "$work/moses.want" "$work/moses.out" | head; }

# A TMX file named on its own is a whole pair; beside one text file, that
# file has no twin.
printf '<?xml version="1.0"?>\n<tmx version="1.4"><body>\n<tu><tuv xml:lang="en"><seg>give up</seg></tuv><tuv xml:lang="zh"><seg>放弃</seg></tuv></tu>\n</body></tmx>\n' >"$work/one.tmx"
run one_tmx 0 search --count "give up" "$work/one.tmx"
[ "$(cat "$work/one_tmx.out")" = 1 ] || fail "one_tmx: $(cat "$work/one_tmx.out")"
expect_error tmx_odd "korvel-cli: Cannot pair an odd number of files (1)" search work "$work/one.tmx" "$corpus/news.EN.txt"

# A TMX file cut off in its only unit fails the run; with --skip-bad it is
# named as left out and the rest is searched.
printf '<?xml version="1.0"?>\n<tmx version="1.4"><body><tu><tuv xml:lang="en"><seg>give up' >"$work/bad.tmx"
expect_error bad_tmx 'korvel-cli: Cannot read "bad.tmx": line ' search --count "give up" "$corpus" "$work/bad.tmx"
[ -s "$work/bad_tmx.out" ] && fail "bad_tmx: a failed run printed a count"
run skip_bad 0 search --count --skip-bad "give up" "$work/bad.tmx" "$corpus"
[ "$(cat "$work/skip_bad.out")" = 2 ] || fail "skip_bad: $(cat "$work/skip_bad.out")"
grep -qE '^korvel-cli: skipped: Cannot read "bad.tmx": line [0-9]+, column [0-9]+: .+\.$' "$work/skip_bad.err" ||
  fail "skip_bad: $(cat "$work/skip_bad.err")"

# A program folder without its template.
mkdir -p "$work/prog/sys"
cp "$cli" "$work/prog/"
cp "$(dirname "$cli")/sys/libMyDLL.so" "$(dirname "$cli")/sys/english.lex" "$work/prog/sys/"
"$work/prog/$(basename "$cli")" search --html "$work/x.html" work "$corpus" >/dev/null 2>"$work/notpl.err"
status=$?
[ $status = 2 ] && grep -qF "Cannot open file \"$work/prog/sys/result.tpl\". No such file or directory." "$work/notpl.err" \
  || fail "missing template: status $status, $(cat "$work/notpl.err")"
[ -e "$work/x.html" ] && fail "missing template must not write the page"

# The other commands.
[ "$("$cli" lookup --dic "$dic" " Give Up ")" = "放弃|戒" ] || fail "lookup"
[ "$("$cli" lookup --dic "$dic" nothing)" = "" ] || fail "lookup of an unknown word"
[ "$("$cli" inflect give)" = "gives|gave|given|giving|" ] || fail "inflect give: $("$cli" inflect give)"
[ "$("$cli" expand "give up")" = "(gives|gave|given|giving|give) up" ] || fail "expand: $("$cli" expand "give up")"
"$cli" --help | grep -q "korvel-cli search" || fail "--help"

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all korvel-cli checks passed"

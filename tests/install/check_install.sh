#!/usr/bin/env bash
# cmake --install into a temporary prefix: the layout, korvel-cli run from
# there on the bundled samples (finding its dic/ and sys/ under share/korvel),
# a workbook written through the Excel module and refused plainly without
# it, a missing lexicon, and the desktop files through their validators when
# those are installed.
# Usage: check_install.sh CMAKE BUILD_DIR VERSION
set -u
cmake=$1
build=$2
version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

said=$("$cmake" --install "$build" --prefix "$prefix" 2>&1) || { echo "$said"; exit 1; }

app=0
[ -x "$prefix/bin/korvel" ] && app=1
id=io.github.korvel.Korvel
expected=(bin/korvel-cli lib/korvel/libMyDLL.so lib/korvel/libkorvel_xlsx.so share/korvel/sys/english.lex share/korvel/sys/result.tpl
  share/korvel/dic/EN-ZH.txt share/korvel/dic/ZH-EN.txt share/korvel/samples/travel.EN.txt
  share/man/man1/korvel-cli.1.gz share/bash-completion/completions/korvel-cli share/doc/korvel/copyright)
[ $app = 1 ] && expected+=(share/applications/$id.desktop share/metainfo/$id.metainfo.xml
  share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png
  share/icons/hicolor/128x128/apps/$id.png share/icons/hicolor/256x256/apps/$id.png share/man/man1/korvel.1.gz
  share/korvel/translations/korvel_zh_CN.qm share/korvel/translations/korvel_zh_TW.qm)
for f in "${expected[@]}"; do [ -s "$prefix/$f" ] || fail "not installed: $f"; done
[ -e "$prefix/bin/sys" ] && fail "bin/sys/ installed: the data belongs under share/korvel"

cli=$prefix/bin/korvel-cli
[ "$("$cli" --version)" = "korvel-cli $version" ] || fail "--version: $("$cli" --version 2>&1)"

# The lemma widening needs sys/english.lex, the marked equivalents need dic/.
out=$("$cli" search --lemma "give up" "$prefix/share/korvel/samples" 2>"$prefix/err")
status=$?
[ $status = 0 ] || fail "search: exit status $status ($(cat "$prefix/err"))"
grep -q 'gave' "$prefix/err" || fail "search: no lemma widening: $(cat "$prefix/err")"
printf '%s\n' "$out" | cut -f6 | grep -q '【' || fail "search: no equivalents marked, dic/ not found"

# The Excel writer is loaded from lib/korvel/ only for a workbook.
"$cli" search --xlsx "$prefix/hits.xlsx" give "$prefix/share/korvel/samples" >/dev/null 2>"$prefix/err"
[ $? = 0 ] && [ "$(head -c 2 "$prefix/hits.xlsx" 2>/dev/null)" = PK ] || fail "xlsx: $(cat "$prefix/err")"
rm "$prefix/lib/korvel/libkorvel_xlsx.so"
"$cli" search --xlsx "$prefix/none.xlsx" give "$prefix/share/korvel/samples" >/dev/null 2>"$prefix/err"
[ $? = 2 ] && [ ! -e "$prefix/none.xlsx" ] && grep -q "Excel writer is missing.*libkorvel_xlsx.so" "$prefix/err" ||
  fail "xlsx without its module: $(cat "$prefix/err")"

# Never a run with the widening silently off.
mv "$prefix/share/korvel/sys/english.lex" "$prefix/english.lex"
"$cli" search "give up" "$prefix/share/korvel/samples" >/dev/null 2>"$prefix/err"
status=$?
want="korvel-cli: Cannot open file \"$prefix/share/korvel/sys/english.lex\". No such file or directory."
[ $status = 2 ] && [ "$(cat "$prefix/err")" = "$want" ] || fail "missing lexicon: exit status $status, $(cat "$prefix/err")"

# The validators are optional locally (tools/deps.sh --tests installs them).
# Not even a hint or a note may remain.
has() { command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; false; }; }
if [ $app = 1 ] && has desktop-file-validate; then
  said=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1)
  [ $? = 0 ] && [ -z "$said" ] || fail "desktop-file-validate: $said"
fi
if [ $app = 1 ] && has appstreamcli; then
  said=$(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" 2>&1)
  [ $? = 0 ] && ! printf '%s\n' "$said" | grep -q '^[EWI]:' || fail "appstreamcli: $said"
fi
for page in "$prefix"/share/man/man1/*.gz; do
  gzip -dc "$page" | grep -q "^\.TH .* \"Korvel $version\"" || fail "$page: not the manual of Korvel $version"
done
if has man; then
  for page in "$prefix"/share/man/man1/*.gz; do
    said=$(man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$said" ] || fail "man $page: $said"
  done
fi
bash -n "$prefix/share/bash-completion/completions/korvel-cli" || fail "completion: syntax"

[ $failures = 0 ] && echo "install: all checks passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Hit counts on the real corpus beside the repository; skipped without it.
set -u
cli=$1
corpus=$2
[ -d "$corpus" ] || { echo "no corpus at $corpus: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Corpus caches go into the scratch folder, never the user's own.
export XDG_CACHE_HOME="$work/cache"
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

# The same corpus as Moses pairs, as one TSV file and as one TMX file per
# pair gives the same hits.
mkdir "$work/moses" "$work/tsv" "$work/tmx"
for en in "$corpus"/*.EN.txt; do
  zh=${en%.EN.txt}.ZH.txt
  [ -f "$zh" ] || continue
  name=$(basename "${en%.EN.txt}")
  cp "$en" "$work/moses/$name.en"
  cp "$zh" "$work/moses/$name.zh"
done
# Lines split as the engine splits them (CR, LF, CR LF); characters XML
# forbids become blanks, which are as much word boundaries as they were.
python3 - "$corpus" "$work" <<'PY' || failures=$((failures + 1))
import glob, os, re, sys
from xml.sax.saxutils import escape
corpus, work = sys.argv[1], sys.argv[2]
def lines(path):
    text = open(path, 'rb').read().decode('utf-8', 'replace').lstrip('\ufeff')
    parts = re.split(r'\r\n|\r|\n', text)
    return parts[:-1] if parts and parts[-1] == '' else parts
def clean(line):
    return re.sub(r'[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]', ' ', line)
def field(line):  # quoted only where a quote could start one
    line = clean(line).replace('\t', ' ')
    return '"' + line.replace('"', '""') + '"' if '"' in line else line
with open(os.path.join(work, 'tsv', 'all.tsv'), 'w', encoding='utf-8', newline='\n') as tsv:
    tsv.write('en\tzh\n')
    for en in sorted(glob.glob(os.path.join(corpus, '*.EN.txt'))):
        zh = en[:-len('.EN.txt')] + '.ZH.txt'
        if not os.path.isfile(zh):
            continue
        english, chinese = lines(en), lines(zh)
        chinese += [''] * (len(english) - len(chinese))
        with open(os.path.join(work, 'tmx', os.path.basename(en)[:-len('.EN.txt')] + '.tmx'), 'w',
                  encoding='utf-8', newline='\n') as tmx:
            tmx.write('<?xml version="1.0" encoding="UTF-8"?>\n<tmx version="1.4">\n'
                      '<header srclang="en" datatype="plaintext" segtype="sentence" adminlang="en" '
                      'creationtool="test" creationtoolversion="1" o-tmf="none"/>\n<body>\n')
            for e, z in zip(english, chinese):
                tsv.write(field(e) + '\t' + field(z) + '\n')
                tmx.write('<tu><tuv xml:lang="en"><seg>' + escape(clean(e)) + '</seg></tuv><tuv xml:lang="zh"><seg>' +
                          escape(clean(z)) + '</seg></tuv></tu>\n')
            tmx.write('</body>\n</tmx>\n')
PY
same() {
  local want got
  want=$("$cli" search --count "$1" "$corpus" 2>/dev/null)
  for kind in moses tsv tmx; do
    got=$("$cli" search --count "$1" "$work/$kind" 2>"$work/err")
    echo "korvel-cli search --count $1 on the $kind copy -> $got (on the text pairs $want)"
    [ "$got" = "$want" ] || { failures=$((failures + 1)); cat "$work/err"; }
  done
}
same people
same 发展

# The hits exported as TMX and searched again: the same lines, marked alike.
for q in people 发展; do
  "$cli" search --tmx "$work/hits.tmx" "$q" "$corpus" 2>/dev/null
  "$cli" search "$q" "$corpus" >"$work/orig" 2>/dev/null
  "$cli" search "$q" "$work/hits.tmx" >"$work/back" 2>/dev/null
  echo "korvel-cli search $q: $(wc -l <"$work/orig") hits exported as TMX, $(wc -l <"$work/back") found in it again"
  cmp -s <(cut -f5,6 "$work/orig") <(cut -f5,6 "$work/back") || { failures=$((failures + 1)); echo "TMX round trip of $q differs"; }
done
exit $((failures > 0))

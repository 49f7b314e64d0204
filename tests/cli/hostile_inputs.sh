#!/usr/bin/env bash
# korvel-cli against hostile files and faults: each gives the right hits or
# the program's own message with status 2, and never a crash or a hang.
# Every input is made here from exact bytes; the big ones only at run time.
# Usage: hostile_inputs.sh KORVEL-CLI
set -u
cli=$1
work=$(mktemp -d)
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT
# Corpus caches go into the scratch folder, never the user's own.
export XDG_CACHE_HOME="$work/cache"
# Some cases run as an unprivileged user, who must reach the files.
chmod 755 "$work"
umask 022
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# An empty word-list folder: highlighting comes from the query alone.
dic=$work/dic
mkdir "$dic"

# Root reads and writes everything; the permission cases drop to "nobody".
# That user runs a copy of the program (and sys/, where its library and
# lexicon are) from here: the build may lie in a folder it cannot enter.
as_user=()
user_cli=$cli
can_drop=yes
if [ "$(id -u)" = 0 ]; then
  if command -v setpriv >/dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    mkdir "$work/userprog"
    cp "$cli" "$work/userprog/"
    cp -r "$(dirname "$cli")/sys" "$work/userprog/"
    user_cli=$work/userprog/$(basename "$cli")
    if ! "${as_user[@]}" "$user_cli" --help >/dev/null 2>&1; then
      echo "note: nobody cannot run the program from $work: permission cases not tried"
      can_drop=no
    fi
  else
    can_drop=no
  fi
fi
# as_nobody / as_self: who the next run()s run as.
as_nobody() { prefix=("${as_user[@]}"); prog=$user_cli; }
as_self() { prefix=(); prog=$cli; }
as_self

# run NAME STATUS ARGS...: "korvel-cli search --dic DIC ARGS"; stdout and
# stderr land in $work/NAME.out and .err. A hang shows as status 124.
run() {
  local name=$1 want=$2
  shift 2
  timeout 300 "${prefix[@]}" "$prog" search --dic "$dic" "$@" >"$work/$name.out" 2>"$work/$name.err"
  local got=$?
  [ "$got" = "$want" ] || fail "$name: exit status $got, expected $want: $(head -c 300 "$work/$name.err")"
}

# same_bytes NAME FILE EXPECTED-FILE
same_bytes() {
  cmp -s "$2" "$3" || { fail "$1: output differs"; diff <(od -c "$3") <(od -c "$2") | head -10; }
}
# expect_out NAME FORMAT: stdout is exactly printf FORMAT (CRLF line ends)
expect_out() {
  printf "$2" >"$work/$1.want"
  same_bytes "$1" "$work/$1.out" "$work/$1.want"
}
# expect_error NAME MESSAGE: the last line on stderr is exactly the message
# expect_error NAME MESSAGE [PLACE]: the message, then where the fault lies
# on a line of its own when PLACE is given.
expect_error() {
  local got want="korvel-cli: $2"
  [ $# -gt 2 ] && want=$(printf 'korvel-cli: %s\nkorvel-cli: %s' "$2" "$3")
  got=$(tail -n $(($# > 2 ? 2 : 1)) "$work/$1.err")
  [ "$got" = "$want" ] || fail "$1: expected '$want', got '$got'"
}
# no_leftovers NAME DIR EXPECTED-LISTING: no temporary file stays behind
no_leftovers() {
  local got
  got=$(ls -A "$2" | tr '\n' ' ')
  [ "$got" = "$3" ] || fail "$1: folder holds '$got', expected '$3'"
}

WORK=$'\xe3\x80\x90work\xe3\x80\x91'  # 【work】, the export's mark around a hit
GONGZUO=$'\xe5\xb7\xa5\xe4\xbd\x9c'   # 工作 in UTF-8

# --- Files the program reads ---------------------------------------------

# A binary file under a corpus name: the start of an ELF header, NUL bytes,
# a PNG signature whose CR LF and LF end lines, JPEG bytes no encoding
# explains. It reads as five lines with U+FFFD in place of the bad bytes.
mkdir "$work/binary"
printf '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x03\x00\x3e\x00\n\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\xff\xd8\xff\xe0 work \x80\x81\n' \
  >"$work/binary/x.EN.txt"
printf '\xe4\xb8\x80\n\xe4\xba\x8c\n\xe4\xb8\x89\n\xe5\x9b\x9b\n%s\n' "$GONGZUO" >"$work/binary/x.ZH.txt"
run binary 0 work "$work/binary"
expect_out binary "1\tx.EN.txt\tx.ZH.txt\t5\tIHDR\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd $WORK \xef\xbf\xbd\xef\xbf\xbd\t$GONGZUO\r\n"
# With a twin of one line, the second line of the binary has none.
printf '%s\n' "$GONGZUO" >"$work/binary/x.ZH.txt"
run binary_short 2 work "$work/binary"
expect_error binary_short "List index out of bounds (1)" '"x.ZH.txt" has 1 line, "x.EN.txt" has 5.'

# One line of 50,000,000 letters and a word at its end.
mkdir "$work/long"
{ head -c 50000000 /dev/zero | tr '\0' a; printf ' work\n'; } >"$work/long/l.EN.txt"
printf '%s\n' "$GONGZUO" >"$work/long/l.ZH.txt"
run long_count 0 --count work "$work/long"
expect_out long_count "1\n"
run long 0 work "$work/long"
[ "$(stat -c %s "$work/long.out")" = $((50000000 + 42)) ] || fail "long: export of $(stat -c %s "$work/long.out") bytes"
tail -c 26 "$work/long.out" >"$work/long.tail"
printf 'aaaaaa %s\t%s\r\n' "$WORK" "$GONGZUO" >"$work/long.tail.want"
same_bytes long "$work/long.tail" "$work/long.tail.want"
head -c 23 "$work/long.out" >"$work/long.head"
printf '1\tl.EN.txt\tl.ZH.txt\t1\ta' >"$work/long.head.want"
same_bytes long_head "$work/long.head" "$work/long.head.want"
rm -rf "$work/long" "$work/long.out"

# A million empty lines, then the hit: its line number counts them all.
# Empty English lines need no Chinese line at all.
mkdir "$work/empty"
{ head -c 1000000 /dev/zero | tr '\0' '\n'; printf 'work\n'; } >"$work/empty/e.EN.txt"
{ head -c 1000000 /dev/zero | tr '\0' '\n'; printf '%s\n' "$GONGZUO"; } >"$work/empty/e.ZH.txt"
head -c 1000000 /dev/zero | tr '\0' '\n' >"$work/empty/f.EN.txt"
: >"$work/empty/f.ZH.txt"
run empty 0 work "$work/empty"
expect_out empty "1\te.EN.txt\te.ZH.txt\t1000001\t$WORK\t$GONGZUO\r\n"
rm -rf "$work/empty"

# Mismatched line counts: a Chinese file one line short is an error at the
# first English line without a twin (0-based); extra Chinese lines and
# empty English lines at the end are not.
mkdir "$work/short" "$work/longer"
printf 'one\nwork\nthree\n' >"$work/short/s.EN.txt"
printf '\xe4\xb8\x80\n\xe4\xba\x8c\n' >"$work/short/s.ZH.txt"
run short 2 work "$work/short"
expect_error short "List index out of bounds (2)" '"s.ZH.txt" has 2 lines, "s.EN.txt" has 3.'
[ -s "$work/short.out" ] && fail "short: export written despite the error"
printf 'one\nwork\n\n\n' >"$work/longer/s.EN.txt"
printf '\xe4\xb8\x80\n\xe4\xba\x8c\n\xe4\xb8\x89\n\xe5\x9b\x9b\nfive\n' >"$work/longer/s.ZH.txt"
run longer 0 work "$work/longer"
expect_out longer "1\ts.EN.txt\ts.ZH.txt\t2\t$WORK\t\xe4\xba\x8c\r\n"

# Unreadable: a file of mode 000 in a listed folder, and a folder of mode
# 000, tried as a user without privileges.
if [ $can_drop = yes ]; then
  mkdir "$work/locked" "$work/closed"
  printf 'work\n' >"$work/locked/k.EN.txt"
  printf '%s\n' "$GONGZUO" >"$work/locked/k.ZH.txt"
  chmod 000 "$work/locked/k.ZH.txt" "$work/closed"
  as_nobody
  run unreadable 2 work "$work/locked"
  expect_error unreadable "Cannot open file \"$work/locked/k.ZH.txt\". Permission denied."
  run closed 2 work "$work/closed"
  expect_error closed "Cannot open folder \"$work/closed\". Permission denied."
  as_self
  chmod 755 "$work/closed"
else
  echo "note: running as root without setpriv: unreadable files not tried"
fi

# Files that are gone: named on the command line, or a link in the folder
# whose target went away (not listed, so its twin stands alone).
mkdir "$work/gone"
printf 'work\n' >"$work/gone/g.EN.txt"
ln -s "$work/gone/missing.txt" "$work/gone/g.ZH.txt"
run gone_file 2 work "$work/gone/g.EN.txt" "$work/gone/h.ZH.txt"
expect_error gone_file "Cannot open file \"$work/gone/h.ZH.txt\". No such file or directory."
run gone_link 2 work "$work/gone"
expect_error gone_link "The folder \"$work/gone\" holds no pair of .EN. and .ZH. text files."

# A folder whose path holds ".EN.", blanks, quotes and Chinese characters,
# and so do the names of the pair in it; a lone English file is left out.
odd="$work/proj.EN.v2 \"double\" 'single' 语料 "
mkdir "$odd"
printf 'work\n' >"$odd/a b \"q\" '语'.EN.txt"
printf '%s\n' "$GONGZUO" >"$odd/a b \"q\" '语'.ZH.txt"
printf 'work\n' >"$odd/lonely.EN.txt"
run odd_folder 0 work "$odd"
expect_out odd_folder "1\ta b \"q\" '语'.EN.txt\ta b \"q\" '语'.ZH.txt\t1\t$WORK\t$GONGZUO\r\n"
run odd_slash 0 work "$odd/"
same_bytes odd_slash "$work/odd_slash.out" "$work/odd_folder.want"

# File names that are not UTF-8 ("caf" and Latin-1 "é"): they pair by their
# bytes and show with U+FFFD.
mkdir "$work/latin1"
printf 'work\n' >"$work/latin1/caf"$'\xe9'".EN.txt"
printf '%s\n' "$GONGZUO" >"$work/latin1/caf"$'\xe9'".ZH.txt"
run latin1 0 work "$work/latin1"
expect_out latin1 "1\tcaf\xef\xbf\xbd.EN.txt\tcaf\xef\xbf\xbd.ZH.txt\t1\t$WORK\t$GONGZUO\r\n"
run latin1_missing 2 work "$work/latin1/caf"$'\xe9'".EN.txt" "$work/latin1/caf"$'\xe9'"x.ZH.txt"
expect_error latin1_missing "Cannot open file \"$work/latin1/caf"$'\xef\xbf\xbd'"x.ZH.txt\". No such file or directory."

# A word list with a line without "=", an empty name, a blank before "="
# (that name is never found: lookups are trimmed), values that do not
# compile as expressions (they lose their highlighting only), a name
# written 100,000 times (the last wins) and bytes that are not UTF-8.
bad=$work/baddic
mkdir "$bad"
{
  printf 'no equals sign here\n=empty name\nwork =%s\ngive up=\xe6\x94\xbe\xe5\xbc\x83(\n\xff\xfe=x\nrun==\xe8\xb7\x91\n' "$GONGZUO"
  for ((i = 0; i < 100000; i++)); do printf 'go=\xe8\xb5\xb0%d\n' $i; done
  printf 'walk=\xe8\xb5\xb0|[\n'
} >"$bad/EN-ZH.txt"
printf '%s=work|(job\n' "$GONGZUO" >"$bad/ZH-EN.txt"
lookup() { timeout 60 "$cli" lookup --dic "$bad" "$1"; }
[ "$(lookup go)" = $'\xe8\xb5\xb099999' ] || fail "dictionary: last of 100,000 'go' lines: $(lookup go)"
[ "$(lookup "")" = "empty name" ] || fail "dictionary: the empty name: $(lookup "")"
# FF FE in a line that is not UTF-8: U+FFFD twice, on both sides of a lookup.
[ "$(lookup $'\xff\xfe')" = x ] || fail "dictionary: name of bad bytes: $(lookup $'\xff\xfe')"
[ "$(lookup "give up")" = $'\xe6\x94\xbe\xe5\xbc\x83(' ] || fail "dictionary: raw value: $(lookup "give up")"
mkdir "$work/dicpair"
printf 'give up work\ngo now\nwalk\n' >"$work/dicpair/d.EN.txt"
printf '\xe6\x94\xbe\xe5\xbc\x83%s\n\xe8\xb5\xb099999\n\xe8\xb5\xb0\n' "$GONGZUO" >"$work/dicpair/d.ZH.txt"
dic_saved=$dic
dic=$bad
run dic_bad_value 0 "give up" "$work/dicpair"
expect_out dic_bad_value "1\td.EN.txt\td.ZH.txt\t1\t\xe3\x80\x90give up\xe3\x80\x91 work\t\xe6\x94\xbe\xe5\xbc\x83$GONGZUO\r\n"
run dic_last_wins 0 go "$work/dicpair"
expect_out dic_last_wins "1\td.EN.txt\td.ZH.txt\t2\t\xe3\x80\x90go\xe3\x80\x91 now\t\xe3\x80\x90\xe8\xb5\xb099999\xe3\x80\x91\r\n"
run dic_chinese 0 "$GONGZUO" "$work/dicpair"
expect_out dic_chinese "1\td.ZH.txt\td.EN.txt\t1\t\xe6\x94\xbe\xe5\xbc\x83\xe3\x80\x90$GONGZUO\xe3\x80\x91\tgive up work\r\n"
dic=$dic_saved

# --- Files the program writes --------------------------------------------

mkdir "$work/w"
printf 'work\n' >"$work/w/w.EN.txt"
printf '%s\n' "$GONGZUO" >"$work/w/w.ZH.txt"
# 5,000 hits: an export of some 200 KB, well past the 4 KiB limit below.
mkdir "$work/many"
for ((i = 0; i < 5000; i++)); do echo "work $i"; done >"$work/many/m.EN.txt"
for ((i = 0; i < 5000; i++)); do echo "$GONGZUO $i"; done >"$work/many/m.ZH.txt"
# Bytes no run writes, so a kept file cannot be mistaken for a new one.
printf 'earlier file \xe2\x80\x94 kept\r\n' >"$work/earlier"
# kept NAME FILE: FILE still holds those bytes
kept() { cmp -s "$2" "$work/earlier" || fail "$1: the earlier file changed"; }

# A template without the placeholder line: the page is not written and an
# earlier one stays. The program folder is a copy with its own sys/.
mkdir -p "$work/prog/sys" "$work/pages"
cp "$cli" "$work/prog/"
cp -r "$(dirname "$cli")/sys/." "$work/prog/sys/"
printf '<html><body>no placeholder</body></html>\n' >"$work/prog/sys/result.tpl"
cp "$work/earlier" "$work/pages/p.html"
timeout 60 "$work/prog/$(basename "$cli")" search --dic "$dic" --html "$work/pages/p.html" work "$work/w" \
  >"$work/notpl.out" 2>"$work/notpl.err"
status=$?
[ $status = 2 ] || fail "template without placeholder: status $status"
expect_error notpl "List index out of bounds (-1)"
kept notpl "$work/pages/p.html"
no_leftovers notpl "$work/pages" "p.html "

# The export to one of the program's own descriptors goes through it as
# the shell opened it: between what a group writes before and after it,
# and after the earlier lines with ">>".
tsv_to() { timeout 60 "$cli" search --dic "$dic" --tsv "$1" work "$work/w" 2>/dev/null; }
printf '1\tw.EN.txt\tw.ZH.txt\t1\t%s\t%s\r\n' "$WORK" "$GONGZUO" >"$work/w.tsv"
{ echo HEADER; tsv_to /dev/stdout; tsv_to /dev/fd/3 3>&1; tsv_to /proc/self/fd/1; tsv_to -; echo FOOTER; } \
  >"$work/group.out"
{ echo HEADER; cat "$work/w.tsv" "$work/w.tsv" "$work/w.tsv" "$work/w.tsv"; echo FOOTER; } >"$work/group.want"
same_bytes stdout_group "$work/group.out" "$work/group.want"
echo "earlier line" >"$work/append.out"
tsv_to /dev/stdout >>"$work/append.out"
{ echo "earlier line"; cat "$work/w.tsv"; } >"$work/append.want"
same_bytes stdout_append "$work/append.out" "$work/append.want"

# Killed in the middle of writing the export (by SIGXFSZ's default action
# as the file passes 4 KiB, and by kill -9 at a few moments of a run with
# 300,000 hits): the folder holds the target, old or new, and nothing else.
mkdir "$work/killed" "$work/killed_9" "$work/huge"
cp "$work/earlier" "$work/killed/old.tsv"
cp "$work/earlier" "$work/killed_9/old.tsv"
status=$({ (
  ulimit -f 4
  exec "$cli" search --dic "$dic" --tsv "$work/killed/old.tsv" work "$work/many"
); echo $?; } 2>/dev/null)
[ "$status" -gt 128 ] || fail "killed at the file-size limit: status $status"
kept killed "$work/killed/old.tsv"
no_leftovers killed "$work/killed" "old.tsv "
seq 300000 | sed 's/^/work /' >"$work/huge/h.EN.txt"
seq 300000 | sed "s/^/$GONGZUO /" >"$work/huge/h.ZH.txt"
for delay in 0.1 0.2 0.3 0.5; do
  timeout -s KILL $delay "$cli" search --dic "$dic" --tsv "$work/killed_9/old.tsv" work "$work/huge"
done 2>/dev/null
no_leftovers killed_9 "$work/killed_9" "old.tsv "
rm -rf "$work/huge"

# A full disk on standard output, by a file-size limit of 4 KiB with
# SIGXFSZ ignored (files: unit WriteSafety).
(
  ulimit -f 4
  trap '' XFSZ
  exec "$cli" search --dic "$dic" work "$work/many"
) >"$work/fsize_stdout.out" 2>"$work/fsize_stdout.err"
status=$?
[ $status = 2 ] || fail "file-size limit on standard output: status $status"
expect_error fsize_stdout "Cannot write to standard output. File too large."

# Standard output on a device without space.
timeout 60 "$cli" search --dic "$dic" work "$work/w" >/dev/full 2>"$work/full_stdout.err"
status=$?
[ $status = 2 ] || fail "standard output on /dev/full: status $status"
expect_error full_stdout "Cannot write to standard output. No space left on device."

# A real full file system: a 64 KiB tmpfs in a mount namespace of its own,
# where mounting is allowed.
if unshare -m true 2>/dev/null; then
  mkdir "$work/tmpfs"
  unshare -m bash -c '
    mount -t tmpfs -o size=64k tmpfs "$1" || exit 77
    cp "$2" "$1/old.tsv"
    "$3" search --dic "$4" --tsv "$1/old.tsv" work "$5" 2>"$6"
    echo "status $?" >>"$6"
    cmp -s "$1/old.tsv" "$2" && echo kept >>"$6"
    ls -A "$1" | tr "\n" " " >>"$6"
  ' _ "$work/tmpfs" "$work/earlier" "$cli" "$dic" "$work/many" "$work/tmpfs.err"
  if [ $? = 77 ]; then
    echo "note: tmpfs cannot be mounted here: full file system not tried"
  else
    tail -n 4 "$work/tmpfs.err" >"$work/tmpfs.got"
    printf 'korvel-cli: Cannot create file "%s/old.tsv". No space left on device.\nstatus 2\nkept\nold.tsv ' \
      "$work/tmpfs" >"$work/tmpfs.want"
    same_bytes tmpfs "$work/tmpfs.got" "$work/tmpfs.want"
  fi
else
  echo "note: no mount namespace here: full file system not tried"
fi

if [ $failures -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all hostile-input checks passed"

#!/usr/bin/env bash
# Runs one program over one conformance set and compares every file it
# writes and its console output, byte for byte, with the expected ones.
# Usage: conformance.sh PROGRAM_BINARY SET_DIR [WORK_DIR]
# A set holds series/ (the input) and expected/PROGRAM/ (every file the
# program writes, plus console.txt and status.txt). When the expected run
# ends in a fatal error, the last console line reads "FATAL <kind text>":
# the program must print exactly one line there, containing that text.
# PAIRTERMS_EMULATOR, when set, runs the program (a cross build's emulator).
set -u
bin=$(readlink -f "$1")
set_dir=$(readlink -f "$2")
prog=$(basename "$bin")
work=${3:-$(mktemp -d)}
exp="$set_dir/expected/$prog"
fail() { echo "FAIL [$prog $(basename "$set_dir")]: $*"; exit 1; }

rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"
cp "$set_dir"/series/* "$work"/
(cd "$work" && ${PAIRTERMS_EMULATOR:-} "$bin" > .console 2> .stderr; echo $? > .status)

want_status=$(tr -d '\r\n ' < "$exp/status.txt")
got_status=$(cat "$work/.status")
[ "$got_status" = "$want_status" ] || fail "exit status $got_status, expected $want_status"

# Files: exactly the expected set, byte for byte.
for f in "$exp"/*; do
  name=$(basename "$f")
  case "$name" in console.txt|status.txt) continue ;; esac
  [ -f "$work/$name" ] || fail "missing $name"
  cmp -s "$f" "$work/$name" || fail "$name differs: $(cmp "$f" "$work/$name" 2>&1 | head -1)"
done
for f in "$work"/*; do
  name=$(basename "$f")
  case "$name" in puf[0-9][0-9].txt) continue ;; esac
  [ -f "$exp/$name" ] || fail "unexpected file $name"
done

# Console.
last=$(tail -c 200 "$exp/console.txt" | tr -d '\r' | tail -n 1)
if [[ "$last" == FATAL\ * ]]; then
  kind=${last#FATAL }
  nexp=$(grep -c '' "$exp/console.txt")
  head -n $((nexp - 1)) "$exp/console.txt" > "$work/.want_head"
  nwant=$(grep -c '' "$work/.want_head")
  ngot=$(grep -c '' "$work/.console")
  [ "$ngot" = "$nexp" ] || fail "console has $ngot lines, expected $nexp"
  head -n "$nwant" "$work/.console" | cmp -s - "$work/.want_head" || fail "console lines before the report differ"
  tail -n 1 "$work/.console" | grep -qF "$kind" || fail "report lacks '$kind': $(tail -n 1 "$work/.console")"
  tail -c 2 "$work/.console" | od -An -c | grep -q '\\r  \\n' || fail "report does not end with CR LF"
else
  cmp -s "$exp/console.txt" "$work/.console" || fail "console differs: $(cmp "$exp/console.txt" "$work/.console" 2>&1 | head -1)"
fi
[ -n "${3:-}" ] || rm -rf "$work"
echo "ok [$prog $(basename "$set_dir")]"

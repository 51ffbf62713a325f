#!/usr/bin/env bash
# Checks one man page of the manual: it renders through groff and through
# man -l without a warning; it has every section a page of the manual has;
# the options of its OPTIONS section are exactly the options that
# PROGRAM --help prints; its SEE ALSO names every other program.
# Usage: manpage_check.sh PAGE PROGRAM OTHER_PROGRAM...
# PAIRTERMS_EMULATOR, when set, runs PROGRAM (a cross build's emulator).
set -u
page=$1
prog=$2
shift 2
name=$(basename "$page" .1)
fail() {
  echo "FAIL [$page]: $*" >&2
  exit 1
}
work=$(mktemp -d) || fail "no scratch folder"
trap 'rm -rf "$work"' EXIT

# Every warning groff knows, on two devices, and man -l as a reader runs it.
groff -man -ww -z "$page" 2>"$work/err" || fail "groff failed: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "groff warns: $(cat "$work/err")"
groff -man -ww -z -Tutf8 "$page" 2>"$work/err" || fail "groff -Tutf8 failed: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "groff -Tutf8 warns: $(cat "$work/err")"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" >"$work/man.txt" 2>"$work/err" ||
  fail "man -l failed: $(cat "$work/err")"
[ ! -s "$work/err" ] || fail "man -l warns: $(cat "$work/err")"
grep -q "^$(tr a-z A-Z <<<"$name")(1)" "$work/man.txt" || fail "man -l shows no page of $name(1)"

# The page as plain text, headings at the left margin.
groff -man -Tascii -P-cbou "$page" >"$work/page.txt" 2>/dev/null || fail "groff -Tascii failed"
section() { sed -n "/^$1\$/,/^[A-Z]/{/^[A-Z]/!p}" "$work/page.txt"; }
for s in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "CONSOLE OUTPUT" "EXIT STATUS" EXAMPLES "SEE ALSO"; do
  grep -qx "$s" "$work/page.txt" || fail "no section $s"
done
section NAME | grep -Eq "^ *$name +- " || fail "NAME does not start with '$name -'"

# Options: every word that starts with one or two dashes.
options() { grep -oE '(^|[^A-Za-z0-9-])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[^-]*//' | sort -u; }
${PAIRTERMS_EMULATOR:-} "$prog" --help >"$work/help.txt" 2>&1 || fail "$prog --help failed"
options <"$work/help.txt" >"$work/help.opts"
section OPTIONS | options >"$work/page.opts"
[ -s "$work/help.opts" ] || fail "$prog --help shows no option"
cmp -s "$work/help.opts" "$work/page.opts" ||
  fail "options of the page ($(echo $(cat "$work/page.opts"))) differ from those of --help ($(echo $(cat "$work/help.opts")))"

for other in "$@"; do
  [ "$other" = "$name" ] && continue
  section "SEE ALSO" | grep -q "$other(1)" || fail "SEE ALSO does not name $other(1)"
done
echo "ok [$page]"

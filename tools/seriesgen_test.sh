#!/bin/sh
# Checks for seriesgen.  Usage: seriesgen_test.sh CASE SERIESGEN WORKDIR
# CASE is one of: determinism, layout, cli. PAIRTERMS_EMULATOR, when set,
# runs seriesgen (a cross build's emulator).

set -u

case_name=$1
gen=$2
work=$3

rm -rf "$work"
mkdir -p "$work" || exit 1

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Runs seriesgen with the given arguments and fails unless it exits with $1.
expect_exit() {
    want=$1
    shift
    ${PAIRTERMS_EMULATOR:-} "$gen" "$@" >"$work/out.txt" 2>"$work/err.txt"
    got=$?
    [ "$got" -eq "$want" ] || fail "seriesgen $* exited with $got, expected $want"
}

# Checks the layout and value ranges of DIR/puf01.txt .. puf27.txt; prints
# the total number of terms and a few statistics on one line.
check_folder() {
    for n in 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27; do
        f="$1/puf$n.txt"
        [ -f "$f" ] || fail "$f missing"
        [ "$(tail -c 2 "$f" | od -An -tx1 | tr -d ' \n')" = "0d0a" ] || fail "$f does not end with CR LF"
    done
    awk '
    function fail(msg) {
        printf "FAIL: %s line %d: %s\n", FILENAME, FNR, msg > "/dev/stderr"
        failed = 1
        exit 1
    }
    function close_file() {
        if (file != "" && rows != count) fail("count says " count ", file has " rows " terms")
    }
    BEGIN {
        header = "      amplitude            mec(1..6)                mar(1..6)        code"
        amp_re = "^ [ -][1-9][.]"
        for (i = 0; i < 16; i++) amp_re = amp_re "[0-9]"
        amp_re = amp_re "e[-+][0-9][0-9]$"
        min_exp = 99; max_exp = -99
    }
    FNR == 1 { close_file(); file = FILENAME; rows = 0; files++ }
    {
        if (substr($0, length($0), 1) != "\r") fail("line does not end with CR LF")
        line = substr($0, 1, length($0) - 1)
    }
    FNR == 1 {
        num = substr(FILENAME, length(FILENAME) - 5, 2)
        if (index(line, "series " num ", sample data (scale ") != 1) fail("bad title: " line)
        next
    }
    FNR == 2 {
        if (length(line) != 8 || line !~ /^ *[0-9]+$/) fail("bad count line: " line)
        count = line + 0
        next
    }
    FNR == 3 { if (line != header) fail("bad column header"); next }
    {
        rows++
        total++
        if (length(line) != 75) fail("term line has " length(line) " characters")
        amp = substr(line, 1, 24)
        if (amp !~ amp_re) fail("bad amplitude text: " amp)
        e = substr(amp, 22, 3) + 0
        if (e < min_exp) min_exp = e
        if (e > max_exp) max_exp = e
        if (substr(amp, 2, 1) == "-") negative++
        for (i = 1; i <= 12; i++) {
            fld = substr(line, 21 + 4 * i, 4)
            if (fld !~ /^ *-?[0-9]+$/) fail("bad integer field " i ": \"" fld "\"")
            v[i] = fld + 0
            if (v[i] < -128 || v[i] > 127) fail("field " i " out of range")
        }
        code = substr(line, 73, 3)
        if (code == "  S") sines++
        else if (code != "  C") fail("bad code \"" code "\"")

        order = 0
        for (i = 1; i <= 4; i++) {
            if (v[i] < 0) fail("negative exponent")
            order += v[i]
        }
        if (order > 16) fail("order " order " above 16")
        if (order > 8) high++
        if (v[5] < 0 || v[5] > 20) fail("MEC[5] = " v[5])
        if (v[6] > -(v[5] + 1) || v[6] < -(v[5] + 3) || v[6] < -30) fail("MEC[6] = " v[6] " with MEC[5] = " v[5])

        if (v[7] + v[8] + v[9] + v[10] + v[11] + v[12] != 0) fail("multipliers do not sum to zero")
        if (v[7] < -30 || v[7] > 30 || v[10] < -30 || v[10] > 30) fail("longitude multiplier above 30")
        # Exponents of eccentricities and inclinations against their angles.
        split("8 9 11 12", angle, " ")
        for (i = 1; i <= 4; i++) {
            k = v[angle[i]]
            if (k < 0) k = -k
            if (k > 3) fail("angle multiplier " v[angle[i]])
            if (v[i] < k || (v[i] - k) % 2 != 0) fail("exponent " i " does not match its angle")
        }
        if ((v[9] + v[12]) % 2 != 0) fail("node multipliers sum to an odd number")
        if (v[7] == 0 && v[10] == 0) secular++
        if ((v[7] == 2 && v[10] == -5) || (v[7] == -2 && v[10] == 5)) resonant++
    }
    END {
        if (failed) exit 1
        close_file()
        if (failed) exit 1
        if (files != 27) fail("read " files " files")
        printf "%d %d %d %d %d %d %d %d\n", total, high, secular, resonant, sines, negative, min_exp, max_exp
    }' "$1"/puf??.txt || exit 1
}

case $case_name in
determinism)
    expect_exit 0 --scale tiny --seed 5 "$work/a"
    expect_exit 0 --scale=tiny --seed=5 "$work/b"
    expect_exit 0 --scale tiny --seed 6 "$work/c"
    # Differs from 5 only above the low 32 bits.
    expect_exit 0 --scale tiny --seed 4294967301 "$work/d"
    expect_exit 0 "$work/default"
    expect_exit 0 --seed 1 --scale small "$work/small"
    for f in "$work"/a/puf*.txt; do
        name=${f##*/}
        cmp -s "$f" "$work/b/$name" || fail "$name differs between two runs with the same seed"
        # The title names the seed, so compare the rest.
        tail -n +2 "$f" >"$work/body_a"
        for other in c d; do
            tail -n +2 "$work/$other/$name" >"$work/body_other"
            if cmp -s "$work/body_a" "$work/body_other"; then
                fail "$name: another seed gives the same terms as seed 5"
            fi
        done
        cmp -s "$work/default/$name" "$work/small/$name" || fail "$name: defaults are not small scale, seed 1"
    done
    ;;

layout)
    expect_exit 0 --scale tiny --seed 3 "$work/tiny"
    reported=$(sed -n 's/^seriesgen: wrote 27 series files, \([0-9]*\) terms, to .*/\1/p' "$work/out.txt")
    stats=$(check_folder "$work/tiny") || exit 1
    set -- $stats
    [ "$1" = "$reported" ] || fail "reported $reported terms, files hold $1"
    [ "$1" -ge 800 ] && [ "$1" -le 1300 ] || fail "tiny scale has $1 terms"
    for f in "$work"/tiny/puf*.txt; do
        rows=$(sed -n 2p "$f" | tr -d ' \r')
        [ "$rows" -ge 15 ] && [ "$rows" -le 60 ] || fail "$f has $rows terms"
    done

    expect_exit 0 --scale small --seed 11 "$work/small"
    stats=$(check_folder "$work/small") || exit 1
    set -- $stats
    total=$1 high=$2 secular=$3 resonant=$4 sines=$5 negative=$6
    [ "$total" -ge 4000 ] && [ "$total" -le 6500 ] || fail "small scale has $total terms"
    # The order filter, the secular and long period selections and the sign
    # and code handling all need a fair share of both kinds of rows.
    [ $((high * 10)) -ge "$total" ] && [ $((high * 5)) -le $((total * 4)) ] || fail "$high of $total rows above order 8"
    [ $((secular * 200)) -ge "$total" ] || fail "only $secular secular rows"
    [ "$resonant" -ge 5 ] || fail "only $resonant rows with 2:5 longitudes"
    [ $((sines * 10)) -ge $((total * 4)) ] && [ $((sines * 10)) -le $((total * 6)) ] || fail "$sines of $total rows are sines"
    [ $((negative * 10)) -ge $((total * 4)) ] && [ $((negative * 10)) -le $((total * 6)) ] || fail "$negative of $total amplitudes negative"
    [ "$7" -eq -10 ] && [ "$8" -eq 1 ] || fail "amplitude exponents span $7 .. $8, expected -10 .. 1"

    # The largest folder the programs take: puf01.txt half of every other.
    expect_exit 0 --scale max "$work/max"
    grep -q " 1986625 terms" "$work/out.txt" || fail "max scale: $(cat "$work/out.txt")"
    for f in "$work"/max/puf*.txt; do
        rows=$(sed -n 2p "$f" | tr -d ' \r')
        case "$f" in
        */puf01.txt) [ "$rows" = 37483 ] || fail "$f has $rows terms" ;;
        *) [ "$rows" = 74967 ] || fail "$f has $rows terms" ;;
        esac
        [ "$(grep -c '' "$f")" = $((rows + 3)) ] || fail "$f does not hold $rows term lines"
    done
    rm -rf "$work/max"
    ;;

cli)
    expect_exit 0 --help
    grep -q "usage: seriesgen" "$work/out.txt" || fail "--help prints no usage"
    expect_exit 0 --version
    grep -Eq '^seriesgen [0-9]+[.][0-9]+[.][0-9]+$' "$work/out.txt" || fail "--version prints $(cat "$work/out.txt")"
    # Standard output that takes nothing: an error, said on standard error.
    if [ -w /dev/full ]; then
        for opt in --help --version; do
            ${PAIRTERMS_EMULATOR:-} "$gen" $opt >/dev/full 2>"$work/err.txt"
            got=$?
            [ "$got" -eq 1 ] || fail "seriesgen $opt >/dev/full exited with $got, expected 1"
            grep -q "cannot write to standard output" "$work/err.txt" || fail "seriesgen $opt >/dev/full: no message"
        done
    fi
    expect_exit 2
    expect_exit 2 --scale huge "$work/x"
    expect_exit 2 --scale
    expect_exit 2 --seed abc "$work/x"
    expect_exit 2 --seed -1 "$work/x"
    expect_exit 2 --seed 18446744073709551616 "$work/x"
    expect_exit 2 --colour "$work/x"
    expect_exit 2 "$work/x" "$work/y"
    [ -s "$work/err.txt" ] || fail "no message for a bad argument"
    [ ! -e "$work/x" ] || fail "folder created despite bad arguments"

    : >"$work/plain"
    expect_exit 1 --scale tiny "$work/plain"
    expect_exit 1 --scale tiny "$work/plain/sub"
    [ -s "$work/err.txt" ] || fail "no message for an unwritable folder"
    mkdir -p "$work/ro/puf05.txt"
    expect_exit 1 --scale tiny "$work/ro"

    expect_exit 0 --scale tiny --seed 18446744073709551615 "$work/new/nested"
    [ -f "$work/new/nested/puf27.txt" ] || fail "nested folder not created"
    ;;

*)
    fail "unknown case $case_name"
    ;;
esac

echo "seriesgen $case_name: ok"

#!/usr/bin/env bash
# Checks of bench/settings.sh, the settings of bench/run --settings: the
# cut options it gives each program, read from the usage line of the
# program's --help, against the options the program itself accepts; the
# options of a setting that each program gets; the settings it refuses.
# Usage: settings_test.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -u
src=$1
build=$2
work=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work" && mkdir -p "$work/series" || fail "cannot make $work"

# What bench/run gives settings.sh.
die() { echo "bench/run: $*" >&2; exit 2; }
mapfile -t programs < <("$src/tools/programs")
[ ${#programs[@]} = 3 ] || fail "tools/programs lists ${#programs[@]} programs"
. "$src/bench/settings.sh"

# Three settings in two arguments, one of them empty between the ';'.
settings_args=("--threshold 1e-12 --period-cut=100 --estimates;  ; --max-order 6 --order-bound=12" "--period-cut 50")
read_settings
[ ${#settings[@]} = 3 ] || fail "${#settings[@]} settings: ${settings[*]}"
[ "${settings[0]}" = "--threshold 1e-12 --period-cut 100 --estimates" ] || fail "setting 1: ${settings[0]}"
[ "${settings[1]}" = "--max-order 6 --order-bound 12" ] || fail "setting 2: ${settings[1]}"
[ "${settings[2]}" = "--period-cut 50" ] || fail "setting 3: ${settings[2]}"
# want N PROGRAM OPTIONS: the options of setting N that the program gets.
want() {
  [ "${set_args[$1/$2]-unset}" = "$3" ] || fail "setting $(($1 + 1)), $2: '${set_args[$1/$2]-unset}', not '$3'"
}
want 0 termshort "--threshold 1e-12 --period-cut 100 --estimates"
want 0 termsecul "--period-cut 100"
want 0 termall "--threshold 1e-12 --estimates"
want 1 termshort "--max-order 6"
want 1 termsecul ""
want 1 termall "--order-bound 12"
want 2 termshort "--period-cut 50"
want 2 termsecul "--period-cut 50"
want 2 termall ""

# Every cut option of any program, given to every program: one it is said
# to take must pass its command line (it then stops at the missing series,
# status 217), one it is not must be refused (status 2). So no program is
# ever given an option it refuses, nor denied one it takes.
cuts=" ${!arity[*]} "
for o in --threshold --period-cut --max-order --order-bound --estimates; do
  [[ "$cuts" == *" $o "* ]] || fail "no program is said to take $o (cuts:$cuts)"
done
for p in "${programs[@]}"; do
  for o in "${!arity[@]}"; do
    args=("$o")
    [ "${arity[$o]}" = flag ] || args+=(1)
    "$build/programs/$p" --series "$work/series" --output "$work/out-$p" --quiet "${args[@]}" \
      > "$work/log" 2>&1 < /dev/null
    got=$?
    expected=2
    [ -z "${takes[$p:$o]:-}" ] || expected=217
    [ $got = $expected ] || fail "$p ${args[*]}: status $got, expected $expected: $(head -n 2 "$work/log")"
  done
done

# Refused settings: status 2 and one line that names the fault.
refused() {
  local what=$1
  shift
  (settings_args=("$@"); read_settings) > "$work/out" 2> "$work/err"
  local got=$?
  [ $got = 2 ] || fail "'$*': status $got, expected 2"
  [ ! -s "$work/out" ] || fail "'$*': output on standard output"
  [ "$(wc -l < "$work/err")" = 1 ] || fail "'$*': not one line: $(cat "$work/err")"
  grep -q "^bench/run: .*$what" "$work/err" || fail "'$*': $(cat "$work/err")"
}
refused "no program takes --series" "--series x"
refused "no program takes --quiet" "--quiet"
refused "no program takes --thresholds" "--thresholds 1e-10"
refused "--threshold needs a value" "--threshold"
refused "--threshold needs a value" "--threshold="
refused "--estimates takes no value" "--estimates=yes"
refused "--period-cut is given twice" "--period-cut 100 --period-cut=50"
refused "'100' is not an option" "100 --period-cut"
refused "gives no options" " ; "
refused "no program takes --bogus" "--estimates" "--bogus"
echo "settings: all checks passed"

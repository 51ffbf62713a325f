#!/usr/bin/env bash
# Checks of tools/run-sample and tools/run-tests.
# Usage: scripts_test.sh CASE SOURCE_DIR WORK_DIR
#   cli                --help and refused arguments of both scripts; the
#                      aarch64 stage where its packages cannot be had
#   sample-then-tests  run-sample, then the release stage of run-tests, on
#                      a copy of the tree whose tests/ is a stand-in of one
#                      test; then that test failing, then not running
set -u
case_name=$1
src=$2
work=$3

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"

# expect STATUS LOG COMMAND...: runs COMMAND with its output in LOG and
# fails unless it exits with STATUS.
expect() {
  local want=$1 log=$2
  shift 2
  "$@" >"$log" 2>"$log.err"
  local got=$?
  [ "$got" = "$want" ] || fail "$* exited with $got, expected $want; output:
$(tail -n 30 "$log" "$log.err")"
}

case $case_name in
cli)
  for script in run-sample run-tests; do
    expect 0 "$work/out" "$src/tools/$script" --help
    grep -q "^usage: tools/$script" "$work/out" || fail "$script --help prints no usage"
    [ ! -s "$work/out.err" ] || fail "$script --help writes to standard error"
  done
  # A refused command line: status 2, one line on standard error naming
  # the fault and the usage, nothing else done.
  refused() {
    local script=$1 what=$2
    shift 2
    expect 2 "$work/out" "$src/tools/$script" "$@"
    [ ! -s "$work/out" ] || fail "$script $*: output on standard output"
    [ "$(wc -l <"$work/out.err")" = 1 ] || fail "$script $*: not one line: $(cat "$work/out.err")"
    grep -q "^$script: .*$what.*; usage: tools/$script " "$work/out.err" ||
      fail "$script $*: $(cat "$work/out.err")"
  }
  refused run-sample "--scale needs a value" --scale
  refused run-sample "--seed needs a value" --scale tiny --seed
  refused run-sample "unknown scale 'huge'" --scale huge
  refused run-sample "unknown scale ''" --scale=
  refused run-sample "not '-1'" --seed -1
  refused run-sample "unknown argument 'tiny'" tiny
  refused run-tests "--only needs a list" --only
  refused run-tests "unknown stage 'asan'" --only release,asan
  refused run-tests "unknown argument '--fast'" --fast
  FUZZ_SECONDS=1m refused run-tests "FUZZ_SECONDS must be a whole number"

  # The aarch64 stage where the cross tools cannot be had: every program on
  # PATH but the cross compiler and qemu, and an apt-get whose updates
  # work. When apt-cache knows no such package, the stage says so and is
  # not run; when it knows them and apt-get cannot install them, it fails.
  bin=$work/bin
  mkdir -p "$bin"
  for f in /usr/local/bin/* /usr/bin/* /bin/*; do
    name=${f##*/}
    case $name in aarch64-linux-gnu-* | qemu-aarch64* | apt-get | apt-cache | sudo) continue ;; esac
    [ -e "$bin/$name" ] || ln -s "$f" "$bin/$name"
  done
  printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
  printf '#!/bin/sh\n[ "$1" = update ]\n' >"$bin/apt-get"
  printf '#!/bin/sh\nexit 100\n' >"$bin/apt-cache"
  chmod +x "$bin/sudo" "$bin/apt-get" "$bin/apt-cache"
  PATH=$bin expect 0 "$work/out" "$src/tools/run-tests" --only aarch64
  grep -q "^no package g++-aarch64-linux-gnu qemu-user-static" "$work/out" || fail "no packages named: $(cat "$work/out")"
  grep -q "aarch64 stage cannot run on this machine" "$work/out.err" || fail "not said: $(cat "$work/out.err")"
  grep -q "NOT RUN: no cross compiler" "$work/out" || fail "not in the summary: $(cat "$work/out")"
  grep -q "^The stages that ran passed; not run: .*aarch64" "$work/out" || fail "listed as run: $(cat "$work/out")"
  printf '#!/bin/sh\nexit 0\n' >"$bin/apt-cache"
  PATH=$bin expect 1 "$work/out" "$src/tools/run-tests" --only aarch64
  grep -q "^apt-get could not install" "$work/out" || fail "install failure not said: $(cat "$work/out")"
  grep -q "stage aarch64 FAILED" "$work/out.err" || fail "not failed: $(cat "$work/out.err")"
  ;;

sample-then-tests)
  tree=$work/tree
  mkdir -p "$tree" || fail "cannot make $tree"
  tar -C "$src" --exclude=./.git --exclude='./build*' --exclude=./work \
    --exclude=./bench/cache --exclude=./bench/out --exclude=./tests -cf - . |
    tar -C "$tree" -xf - || fail "cannot copy the tree"
  # The stand-in tests/: one test that leaves a mark when it runs and whose
  # outcome probe.sh decides.
  mkdir -p "$tree/tests"
  stand_in() {
    cat >"$tree/tests/CMakeLists.txt" <<'EOF'
add_test(NAME probe COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/probe.sh
         ${CMAKE_CURRENT_BINARY_DIR}/probe-ran $<TARGET_FILE:termshort>)
EOF
    printf '%s\n' "$@" >>"$tree/tests/CMakeLists.txt"
  }
  stand_in
  printf '%s\n' 'touch "$1" && "$2" --version' >"$tree/tests/probe.sh"
  cd "$tree" || fail "no $tree"

  expect 0 "$work/sample.log" tools/run-sample --scale tiny
  [ -f work/sample-tiny/termall/robotabl.txt ] || fail "run-sample wrote no count table"
  grep -q '^PAIRTERMS_TESTS:BOOL=OFF$' build-release/CMakeCache.txt ||
    fail "run-sample left no build with the tests off"

  expect 0 "$work/tests.log" tools/run-tests --only release
  [ -f build-release/tests/probe-ran ] || fail "the release stage did not run the tests"
  grep -Eq '^release: ([1-9][0-9]*) tests defined, \1 ran: \1 passed$' "$work/tests.log" ||
    fail "no count of the tests that ran: $(grep '^release' "$work/tests.log")"
  grep -Eq '^run-tests: [1-9][0-9]* passed, 0 failed, 0 skipped$' "$work/tests.log" ||
    fail "no closing count: $(tail -n 1 "$work/tests.log")"

  # A failing test fails the stage.
  echo 'exit 1' >>tests/probe.sh
  expect 1 "$work/failing.log" tools/run-tests --only release
  grep -q '^run-tests: stage release FAILED$' "$work/failing.log.err" || fail "no report of the failing stage"
  grep -q '1 failed' "$work/failing.log" || fail "the failed test is not counted"

  # So does a test that the build defines and that does not run.
  printf '%s\n' 'touch "$1" && "$2" --version' >tests/probe.sh
  stand_in 'set_tests_properties(probe PROPERTIES DISABLED TRUE)'
  expect 1 "$work/disabled.log" tools/run-tests --only release
  grep -Eq '^release: ([0-9]+) tests defined, [0-9]+ ran: .*, 1 not run$' "$work/disabled.log" ||
    fail "the test that did not run is not counted: $(grep '^release' "$work/disabled.log")"
  ;;

*)
  fail "unknown case $case_name"
  ;;
esac
echo "scripts $case_name: ok"

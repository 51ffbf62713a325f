#!/usr/bin/env bash
# Checks of what the build installs and packages, never in the machine's
# own folders.
# Usage: install_test.sh CASE BUILD_DIR SOURCE_DIR WORK_DIR VERSION PROGRAM...
#   install  cmake --install into WORK_DIR/prefix: the programs, their man
#            pages, the documents and the Python package with its command
#            pairterms-plot are there and nothing else; the
#            installed programs pass the conformance sets and print VERSION,
#            as CITATION.cff names it
#   package  cpack: the .tar.gz holds the same tree; the .deb declares the
#            C and C++ runtime libraries, unpacked with dpkg-deb -x its
#            programs pass the conformance sets and its man pages render
# VERSION is the project's version; the PROGRAMs are the installed ones.
# CMAKE and CPACK name the cmake and cpack to use (default: from PATH).
set -u
case_name=$1
build=$2
src=$3
work=$4
version=$5
shift 5
programs=("$@")
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "FAIL [$case_name]: $*" >&2
  exit 1
}
rm -rf "$work" && mkdir -p "$work" || fail "cannot make $work"

# check_tree ROOT: the programs, their man pages and the documents under
# ROOT, a prefix, pass every check.
check_tree() {
  local root=$1 prog
  [ "$(ls "$root/bin" | sort)" = "$(printf '%s\n' "${programs[@]}" pairterms-plot | sort)" ] ||
    fail "$root/bin holds $(echo $(ls "$root/bin")), not ${programs[*]} pairterms-plot"
  # The Python command finds its package beside it, from this prefix.
  "$root/bin/pairterms-plot" --help >/dev/null 2>&1 || fail "$root/bin/pairterms-plot --help failed"
  ls "$root"/lib/python3*/dist-packages/pairterms/__init__.py >/dev/null 2>&1 ||
    fail "the Python package is not under $root/lib/python3*/dist-packages"
  for prog in "${programs[@]}"; do
    [ -x "$root/bin/$prog" ] || fail "$root/bin/$prog is not a program"
    local said
    said=$("$root/bin/$prog" --version | tr -d '\r') || fail "$prog --version failed"
    [ "$said" = "$prog $version" ] || fail "$root/bin/$prog --version says '$said', not '$prog $version'"
    bash "$here/manpage_check.sh" "$root/share/man/man1/$prog.1" "$root/bin/$prog" "${programs[@]}" >/dev/null ||
      exit 1
  done
  local doc
  for doc in docs/FORMATS.md docs/SERIESCHECK.md README.md LICENSE; do
    cmp -s "$src/$doc" "$root/share/doc/pairterms/${doc##*/}" || fail "${doc##*/} is not installed as it stands"
  done
  # Each program that a conformance set has results for, over that set.
  local set
  for set in "$src"/tests/data/*/; do
    for prog in "${programs[@]}"; do
      [ -d "$set/expected/$prog" ] || continue
      bash "$here/conformance.sh" "$root/bin/$prog" "$set" "$work/conformance/$(basename "$set")-$prog" >/dev/null ||
        exit 1
      ran_sets=$((ran_sets + 1))
    done
  done
  [ "$ran_sets" -gt 0 ] || fail "no conformance set ran"
}
ran_sets=0

case $case_name in
install)
  cited=$(sed -n 's/^version: *"\{0,1\}\([^"]*\)"\{0,1\} *$/\1/p' "$src/CITATION.cff")
  [ "$cited" = "$version" ] || fail "CITATION.cff names version '$cited', the build $version"
  "${CMAKE:-cmake}" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$work/install.log")"
  check_tree "$work/prefix"
  extra=$(cd "$work/prefix" && find . -type f | grep -Ev '^\./(bin/[^/]+|share/man/man1/[^/]+\.1|share/doc/pairterms/[^/]+|lib/python3[.0-9]*/dist-packages/pairterms/([^/]+\.py|programs\.tsv))$')
  [ -z "$extra" ] || fail "installed beyond the programs, man pages and documents: $extra"
  ;;

package)
  "${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
  tgz=$work/out/pairterms-$version-Linux.tar.gz
  deb=$work/out/pairterms_${version}_$(dpkg --print-architecture).deb
  [ -f "$tgz" ] || fail "no $tgz: $(ls "$work/out")"
  [ -f "$deb" ] || fail "no $deb: $(ls "$work/out")"

  mkdir -p "$work/tgz" && tar -C "$work/tgz" -xzf "$tgz" || fail "cannot unpack $tgz"
  check_tree "$work/tgz/pairterms-$version-Linux"

  [ "$(dpkg-deb -f "$deb" Package)" = pairterms ] || fail "the .deb is not named pairterms"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the .deb has version $(dpkg-deb -f "$deb" Version)"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libc6 libstdc++6; do
    grep -Eq "(^|, )${lib//+/\\+} \(>= [0-9][^)]*\)" <<<"$depends" || fail "the .deb does not depend on $lib: '$depends'"
  done
  dpkg-deb -x "$deb" "$work/deb" || fail "dpkg-deb -x failed"
  check_tree "$work/deb/usr"
  ;;

*)
  fail "unknown case $case_name"
  ;;
esac
echo "$case_name: ok ($ran_sets conformance runs)"

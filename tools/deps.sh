# Installs what a fresh Debian machine lacks to build and test pairterms,
# with apt-get, and only what is missing: cmake, g++, make and libssl-dev
# (libcrypto, for pairterms); with
# WANT_TESTS=1 also GoogleTest, the man page tools (man-db, groff-base),
# the package tools (dpkg-dev for dpkg-shlibdeps, file) and /usr/bin/time;
# with WANT_FUZZ=1 clang with the libFuzzer runtime. Always Debian's numpy
# and matplotlib for the Python package, and with WANT_TESTS=1 pytest,
# pandas, astropy, fitsio, fitsverify, venv, setuptools and wheel: they
# are seen by /usr/bin/python3, not by another python3 first on PATH. Sourced by
# tools/run-sample and tools/run-tests.
pairterms_need_packages() {
  local missing=()
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v g++ >/dev/null 2>&1 || missing+=(g++)
  command -v make >/dev/null 2>&1 || missing+=(make)
  # libcrypto's SHA-256, for pairterms (the three programs need none).
  [ -f /usr/include/openssl/evp.h ] || missing+=(libssl-dev)
  /usr/bin/python3 -c 'import numpy' >/dev/null 2>&1 || missing+=(python3-numpy)
  /usr/bin/python3 -c 'import matplotlib' >/dev/null 2>&1 || missing+=(python3-matplotlib)
  if [ "${WANT_TESTS:-0}" = 1 ]; then
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    command -v man >/dev/null 2>&1 || missing+=(man-db)
    command -v groff >/dev/null 2>&1 || missing+=(groff-base)
    command -v dpkg-shlibdeps >/dev/null 2>&1 || missing+=(dpkg-dev)
    command -v file >/dev/null 2>&1 || missing+=(file)
    [ -x /usr/bin/time ] || missing+=(time)
    /usr/bin/python3 -c 'import pytest' >/dev/null 2>&1 || missing+=(python3-pytest)
    # The exports of the Python package and their checks, and its offline
    # install by pip into a virtual environment.
    /usr/bin/python3 -c 'import pandas' >/dev/null 2>&1 || missing+=(python3-pandas)
    /usr/bin/python3 -c 'import astropy' >/dev/null 2>&1 || missing+=(python3-astropy)
    /usr/bin/python3 -c 'import fitsio' >/dev/null 2>&1 || missing+=(python3-fitsio)
    command -v fitsverify >/dev/null 2>&1 || missing+=(fitsverify)
    /usr/bin/python3 -c 'import ensurepip' >/dev/null 2>&1 || missing+=(python3-venv)
    /usr/bin/python3 -c 'import setuptools' >/dev/null 2>&1 || missing+=(python3-setuptools)
    /usr/bin/python3 -c 'import wheel' >/dev/null 2>&1 || missing+=(python3-wheel)
  fi
  if [ "${WANT_FUZZ:-0}" = 1 ]; then
    command -v clang++ >/dev/null 2>&1 || missing+=(clang)
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
      missing+=(libclang-rt-14-dev)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The aarch64 stage of tools/run-tests: the cross compiler, qemu's
# user-mode emulator and the GoogleTest sources, installed when missing
# and apt-get offers them. Returns 1, saying why, when they cannot be had
# on this machine (its architecture has no such packages); 2 when apt-get
# offers them but cannot install them.
pairterms_need_cross_packages() {
  local missing=()
  command -v aarch64-linux-gnu-g++ >/dev/null 2>&1 || missing+=(g++-aarch64-linux-gnu)
  command -v qemu-aarch64-static >/dev/null 2>&1 || command -v qemu-aarch64 >/dev/null 2>&1 ||
    missing+=(qemu-user-static)
  [ -f /usr/src/googletest/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq || true
  local p unavailable=()
  for p in "${missing[@]}"; do
    apt-cache show "$p" >/dev/null 2>&1 || unavailable+=("$p")
  done
  if [ ${#unavailable[@]} -ne 0 ]; then
    echo "no package ${unavailable[*]} for $(dpkg --print-architecture 2>/dev/null || uname -m) here"
    return 1
  fi
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null ||
    { echo "apt-get could not install ${missing[*]}"; return 2; }
}

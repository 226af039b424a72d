#!/usr/bin/env bash
# Builds every tree (native, asan, win32, win64) and runs all their tests in
# one ctest run, whose closing summary is the last thing printed.
#   scripts/test.sh            everything
#   QEX_TREES="native win32"   only these trees
#   QEX_CTEST_ARGS="-R token"  extra ctest arguments
#   QEX_CMAKE_ARGS="-DQEX_SUBSYSTEMS=core;token"  extra configure arguments
#   QEX_BUILD_ROOT=/path       where the trees go (default: build/)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
cd "$src"
bash scripts/setup.sh

build=${QEX_BUILD_ROOT:-$src/build}
trees=${QEX_TREES:-native asan win32 win64}
jobs=${QEX_JOBS:-$(nproc)}

source scripts/xvfb.sh
cleanup() {
  for t in $trees; do
    if [ -d "$build/$t/wineprefix" ]; then
      WINEPREFIX="$build/$t/wineprefix" wineserver -k 2>/dev/null || true
    fi
  done
  qex_xvfb_stop
}
trap cleanup EXIT
qex_xvfb_start

configure() {
  local t=$1 dir=$build/$1
  local args=(-G Ninja -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQEX_TREE="$t")
  case $t in
    native) args+=(-DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc) ;;
    asan)   args+=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQEX_SANITIZE=ON -DQEX_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    win32)  args+=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-i686-w64-mingw32.cmake") ;;
    win64)  args+=(-DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-x86_64-w64-mingw32.cmake") ;;
    *) echo "test: unknown tree $t" >&2; exit 2 ;;
  esac
  # shellcheck disable=SC2206
  args+=(${QEX_CMAKE_ARGS:-})
  cmake "${args[@]}" >"$build/$t.configure.log" 2>&1 || { cat "$build/$t.configure.log"; return 1; }
}

mkdir -p "$build"
: > "$build/CTestTestfile.cmake"
for t in $trees; do
  echo "== build $t"
  start=$(date +%s)
  configure "$t"
  # A fresh prefix for every run, initialised on first use.
  rm -rf "$build/$t/wineprefix" "$build/$t/wineprefix.lock"
  cmake --build "$build/$t" -j "$jobs"
  echo "== build $t done in $(( $(date +%s) - start )) s"
  echo "subdirs(\"$t\")" >> "$build/CTestTestfile.cmake"
done

source scripts/wine-arch.sh
if [ "$QEX_WINE_32BIT" = 0 ] && [[ " $trees " == *" win32 "* ]]; then
  echo "== note: this machine's kernel runs no 32-bit programs (ia32 emulation is off):" \
       "the win32 tree is built, but its tests that run programs under Wine are skipped"
fi
echo "== test $trees"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 ${QEX_CTEST_ARGS:-}

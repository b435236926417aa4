#!/usr/bin/env bash
# Builds both targets and runs every test:
#   1. native build (clang, AddressSanitizer + UndefinedBehaviorSanitizer, fuzzers):
#      unit tests and short fuzzing runs;
#   2. Windows build (MinGW-w64): the same unit tests and the integration tests, under
#      Wine on an Xvfb display.
# Each build keeps its own directory under build/; ccache speeds up rebuilds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh"

jobs=$(nproc)
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/pelmora-ccache}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$jobs"

echo "== Windows build"
cmake -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/windows -j"$jobs"

status=0
echo "== native tests"
(cd build/native && ctest --output-on-failure -j"$jobs") || status=1

echo "== Windows tests under Wine"
export WINEPREFIX="$root/build/windows/wineprefix"
(cd build/windows && xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure -j"$jobs") || status=1
WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true
exit $status

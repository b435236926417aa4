#!/usr/bin/env bash
# Builds pelmora.exe and runs it under Wine with the build tree's own prefix. Without a
# display it runs on a private Xvfb screen, takes a screenshot of the start
# (build/windows/screenshot.png), prints its path and stops Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh"

export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/pelmora-ccache}
cmake -S . -B build/windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/windows -j"$(nproc)" --target pelmora

prefix="$root/build/windows/wineprefix"
exe="$root/build/windows/bin/pelmora.exe"

if [[ -n "${DISPLAY:-}" ]]; then
  exec "$root/scripts/wine-exec" "$prefix" "$exe" "$@"
fi

# No display: a private Xvfb screen.
display=":$(( 90 + RANDOM % 100 ))"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

"$root/scripts/wine-exec" "$prefix" "$exe" "$@" &
program=$!
# Wait for the splash window ("Starting ... "; the first run also initialises the prefix),
# at most 60 s, then give it a moment to paint.
for _ in $(seq 1 300); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Starting' && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.2
done
sleep 0.5
shot="$root/build/windows/screenshot.png"
import -window root "$shot"
echo "$shot"
wait "$program" 2>/dev/null || true

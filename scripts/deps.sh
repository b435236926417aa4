#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing.
# Runs apt-get as root, or through sudo.
set -euo pipefail

# fonts-wine: Wine's own fonts (Tahoma, Marlett for the glyphs of window controls), only
# recommended by Wine and so not installed with --no-install-recommends.
packages=(cmake make g++ clang libclang-rt-14-dev googletest g++-mingw-w64-x86-64-posix
          wine wine64 fonts-wine xvfb xauth imagemagick ccache libxml2-dev x11-utils)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "Missing packages and no root rights: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

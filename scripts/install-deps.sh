#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Safe to run again:
# it touches apt only when something is missing, so a warm machine pays nothing.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake g++ googletest zlib1g-dev
  gcc-multilib g++-multilib lib32z1-dev qemu-user-static
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev
  libwine-dev
  wine wine64
  xvfb xdotool imagemagick
  zip unzip p7zip-full libarchive-tools
  python3 tar gzip
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  # "ii " means installed and configured; anything else (absent, half-installed) needs apt.
  if [[ "$status" != ii* ]]; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}" </dev/null

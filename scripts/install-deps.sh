#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, and builds once the
# static libarchive of the Windows and 32-bit Linux builds
# (scripts/build-archive-libs.sh). Safe to run again: it touches apt only when
# something is missing, so a warm machine pays nothing.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake g++ googletest zlib1g-dev libarchive-dev
  gcc-multilib g++-multilib lib32z1-dev qemu-user-static
  clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  libgcrypt20-dev libgpg-error-dev
  libwine-dev
  wine wine64
  xvfb xdotool imagemagick
  zip unzip p7zip-full libarchive-tools
  python3 tar gzip time xz-utils bzip2 zstd lz4
  dpkg-dev make
)

# The 32-bit Linux build links the i386 libgcrypt, whose development package
# cannot be installed beside the native one: its files are unpacked into a
# folder of their own instead (cmake/PackrookCommon.cmake looks there).
i386_root=/opt/packrook/i386
i386_packages=(libgcrypt20-dev libgpg-error-dev)

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi

# A mirror in the middle of a sync can fail one index (another architecture's,
# say) that nothing here needs: apt then keeps the old one or none. Go on; the
# install or download that follows fails with apt's own message if a package
# we need really cannot be had.
refresh_indexes() {
  "${sudo_cmd[@]}" apt-get update -q ||
    echo "install-deps: apt-get update reported a failed index; going on with what it read"
}

install_packages() {
  local missing=() p status
  for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
    # "ii " means installed and configured; anything else (absent, half-installed) needs apt.
    if [[ "$status" != ii* ]]; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]} == 0)); then
    echo "install-deps: all packages present"
    return 0
  fi
  echo "install-deps: installing ${missing[*]}"
  refresh_indexes
  "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}" </dev/null
}

unpack_i386_libraries() {
  if [[ -f "$i386_root/usr/lib/i386-linux-gnu/libgcrypt.a" && -f "$i386_root/usr/lib/i386-linux-gnu/libgpg-error.a" ]]; then
    return 0
  fi
  echo "install-deps: unpacking ${i386_packages[*]} (i386) into $i386_root"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  refresh_indexes
  local download deb
  download=$(mktemp -d)
  chmod 755 "$download"
  (cd "$download" && "${sudo_cmd[@]}" apt-get download -q "${i386_packages[@]/%/:i386}")
  "${sudo_cmd[@]}" mkdir -p "$i386_root"
  for deb in "$download"/*.deb; do
    "${sudo_cmd[@]}" dpkg-deb -x "$deb" "$i386_root"
  done
  rm -rf "$download"
}

main() {
  install_packages
  unpack_i386_libraries
  "${sudo_cmd[@]}" "$(dirname "${BASH_SOURCE[0]}")/build-archive-libs.sh"
}

# Sourced, it only defines the steps (tests call them one by one).
if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  main
fi

#!/usr/bin/env bash
# Builds the static libarchive that the Windows builds and the 32-bit Linux
# build link (Debian ships it for neither), with the libraries it reads
# through: bzip2, lz4, zstd, xz (liblzma), expat (the XML of xar) and, for
# Linux, nettle (the checksums of xar, which Windows has built in). The
# sources are Debian bookworm's own source packages, taken from bookworm and
# bookworm-security, so the security fixes Debian applies come with them;
# zlib is Debian's build for each target (libz-mingw-w64-dev, lib32z1-dev).
#
#   build-archive-libs.sh [ROOT]      ROOT defaults to /opt/packrook/archive
#
# Each target gets ROOT/<target>/{include,lib} and a stamp, SOURCES, naming
# the recipe and the source versions. A target whose stamp names the current
# recipe is left alone, so a second run costs nothing. Only reading is
# wanted: no programs, no tests, no TLS library, no iconv on Windows
# (libarchive converts names with the system's own calls there).
set -euo pipefail

root=${1:-/opt/packrook/archive}
jobs=${PACKROOK_JOBS:-$(nproc)}
targets=(x86_64-w64-mingw32 i686-w64-mingw32 i386-linux-gnu)
# Debian's source package names, libarchive last: it is configured against the others.
packages=(bzip2 lz4 libzstd xz-utils expat nettle libarchive)
# Raise it when the recipe changes, so that folders an older one made are built again.
recipe=1

say() { echo "build-archive-libs: $*"; }

is_built() {
  local stamp="$root/$1/SOURCES"
  [[ -f "$stamp" && "$(head -n1 "$stamp")" == "recipe $recipe" ]]
}

# A private apt state: deb-src entries of its own and their indexes in the
# work folder, so the machine's sources and indexes are neither needed nor
# touched (an index of the machine's that fails to update stops nothing here).
apt_in_work() {
  local cmd=$1
  shift
  "$cmd" -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts="$work/apt/none" \
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache" "$@"
}

prepare_apt() {
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  cat >"$work/apt/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
  apt_in_work apt-get update -q ||
    say "apt-get update reported a failed index; going on with what it read"
}

# Unpacks the newest version of a source package that can be downloaded into
# $work/src/<package>. A mirror may list a fresh security release before it
# carries the files: the version before it is taken then, and said so.
fetch_source() {
  local package=$1 version dir="$work/src/$1" versions skipped=
  versions=$(apt_in_work apt-cache showsrc --only-source "$package" | sed -n 's/^Version: //p' | sort -rVu)
  for version in $versions; do
    rm -rf "$dir"
    mkdir -p "$dir"
    # apt downloads as its own user where it can; it needs to write here.
    if [[ $(id -u) -eq 0 ]] && id _apt >/dev/null 2>&1; then
      chown _apt "$dir"
    fi
    if (cd "$dir" && apt_in_work apt-get source -q "$package=$version" >"$dir.log" 2>&1); then
      versions_built+=("$package $version${skipped:+ (listed but not downloadable:$skipped)}")
      return 0
    fi
    say "$package $version could not be downloaded; trying the version before it" >&2
    tail -n3 "$dir.log" >&2
    skipped+=" $version"
  done
  say "no version of $package could be downloaded" >&2
  return 1
}

source_dir() {
  local dirs=("$work/src/$1"/*/)
  echo "${dirs[0]%/}"
}

# Sets, for one target: steps (the libraries to build, in order), cc, ar,
# ranlib, zlib_lib, zlib_include, cmake_target (the arguments that point CMake
# at the target's compiler) and archive_target (libarchive's own settings).
select_target() {
  local target=$1 prefix=$2
  case $target in
    *-w64-mingw32)
      steps=(bzip2 lz4 zstd xz expat libarchive)
      cc=$target-gcc-posix
      ar=$target-ar
      ranlib=$target-ranlib
      zlib_lib=/usr/$target/lib/libz.a
      zlib_include=/usr/$target/include
      # The find root keeps the host's headers and libraries out of the
      # checks; programs (the compilers) still come from the host.
      cmake_target=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$target-gcc-posix"
        -DCMAKE_RC_COMPILER="$target-windres" -DCMAKE_FIND_ROOT_PATH="$prefix;/usr/$target"
        -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
        -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY)
      archive_target=(-DWINDOWS_VERSION=WIN7 -DENABLE_ICONV=OFF
        # libarchive's one run check asks whether zlib was built with the
        # WINAPI calling convention; Debian's is not, and no Windows program
        # runs here (none at all for i686).
        -DZLIB_WINAPI=OFF -DZLIB_WINAPI_WITH_LIB="$zlib_lib")
      ;;
    i386-linux-gnu)
      steps=(bzip2 lz4 zstd xz expat nettle libarchive)
      cc="gcc -m32"
      ar=ar
      ranlib=ranlib
      zlib_lib=/usr/lib32/libz.a
      zlib_include=/usr/include
      cmake_target=(-DCMAKE_C_COMPILER=gcc -DCMAKE_C_FLAGS=-m32)
      # glibc's own iconv and nettle, as Debian's libarchive has them natively.
      archive_target=(-DENABLE_ICONV=ON -DENABLE_NETTLE=ON
        -DNETTLE_LIBRARY="$prefix/lib/libnettle.a" -DNETTLE_INCLUDE_DIR="$prefix/include")
      ;;
  esac
}

cmake_configure() {
  local name=$1 source=$2
  shift 2
  # -O2, as Debian builds them.
  cmake -S "$source" -B "$build/$name" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "${cmake_target[@]}" "$@" >"$build/$name.log" 2>&1
}

cmake_compile() {
  cmake --build "$build/$1" --target "$2" -j"$jobs" >>"$build/$1.log" 2>&1
}

build_bzip2() {
  cp -r "$(source_dir bzip2)" "$build/bzip2"
  make -C "$build/bzip2" -j"$jobs" libbz2.a CC="$cc" AR="$ar" RANLIB="$ranlib" \
    CFLAGS="-O2 -D_FILE_OFFSET_BITS=64" >"$build/bzip2.log" 2>&1
  cp "$build/bzip2/libbz2.a" "$prefix/lib/"
  cp "$build/bzip2/bzlib.h" "$prefix/include/"
}

build_lz4() {
  cp -r "$(source_dir lz4)" "$build/lz4"
  make -C "$build/lz4/lib" liblz4.a CC="$cc" AR="$ar" CFLAGS=-O2 >"$build/lz4.log" 2>&1
  cp "$build/lz4/lib/liblz4.a" "$prefix/lib/"
  cp "$build/lz4/lib"/lz4.h "$build/lz4/lib"/lz4hc.h "$build/lz4/lib"/lz4frame.h "$prefix/include/"
}

# Decompression only: compressing is never asked of libarchive here.
build_zstd() {
  cp -r "$(source_dir libzstd)/lib" "$build/zstd"
  make -C "$build/zstd" -j"$jobs" libzstd.a CC="$cc" AR="$ar" CFLAGS=-O2 \
    ZSTD_LIB_COMPRESSION=0 >"$build/zstd.log" 2>&1
  cp "$build/zstd/libzstd.a" "$prefix/lib/"
  cp "$build/zstd"/zstd.h "$build/zstd"/zstd_errors.h "$prefix/include/"
}

build_xz() {
  cmake_configure xz "$(source_dir xz-utils)"
  cmake_compile xz liblzma
  cmake --install "$build/xz" --component liblzma_Development >>"$build/xz.log" 2>&1
}

build_expat() {
  cmake_configure expat "$(source_dir expat)/expat" -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
    -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF
  # Debian builds expat with its configure script, which defines these as 1,
  # and its patches test them with "== 1"; the CMake header leaves them empty.
  sed -i -E 's/^#define (XML_DTD|XML_NS)$/#define \1 1/' "$build/expat/expat_config.h"
  cmake_compile expat expat
  cmake --install "$build/expat" >>"$build/expat.log" 2>&1
}

# Hashes only, in C: no public-key part (it would need GMP), no assembler.
build_nettle() {
  mkdir -p "$build/nettle"
  (cd "$build/nettle" && "$(source_dir nettle)/configure" --build="$(gcc -dumpmachine)" \
    --host=i686-linux-gnu CC="$cc" --prefix="$prefix" --disable-shared --disable-public-key \
    --disable-assembler --disable-documentation --disable-openssl) >"$build/nettle.log" 2>&1
  # Its configure adds -ggdb3 to any CFLAGS given to it.
  make -C "$build/nettle" -j"$jobs" CFLAGS=-O2 libnettle.a install-headers >>"$build/nettle.log" 2>&1
  cp "$build/nettle/libnettle.a" "$prefix/lib/"
}

build_libarchive() {
  local dir
  dir=$(source_dir libarchive)
  cmake_configure libarchive "$dir" "${archive_target[@]}" -DENABLE_TEST=OFF -DENABLE_TAR=OFF \
    -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_INSTALL=OFF -DENABLE_OPENSSL=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_CNG=OFF -DENABLE_LIBXML2=OFF \
    -DENABLE_LIBB2=OFF -DENABLE_LZO=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF \
    -DENABLE_WERROR=OFF -DPOSIX_REGEX_LIB=NONE \
    -DZLIB_LIBRARY="$zlib_lib" -DZLIB_INCLUDE_DIR="$zlib_include" \
    -DBZIP2_LIBRARIES="$prefix/lib/libbz2.a" -DBZIP2_INCLUDE_DIR="$prefix/include" \
    -DLIBLZMA_LIBRARY="$prefix/lib/liblzma.a" -DLIBLZMA_INCLUDE_DIR="$prefix/include" \
    -DLZ4_LIBRARY="$prefix/lib/liblz4.a" -DLZ4_INCLUDE_DIR="$prefix/include" \
    -DZSTD_LIBRARY="$prefix/lib/libzstd.a" -DZSTD_INCLUDE_DIR="$prefix/include" \
    -DEXPAT_LIBRARY="$prefix/lib/libexpat.a" -DEXPAT_INCLUDE_DIR="$prefix/include" \
    -DCMAKE_REQUIRED_INCLUDES="$prefix/include"
  cmake_compile libarchive archive_static
  # Named libarchive_static.a on Windows, libarchive.a elsewhere.
  cp "$build"/libarchive/libarchive/libarchive*.a "$prefix/lib/libarchive.a"
  cp "$dir/libarchive/archive.h" "$dir/libarchive/archive_entry.h" "$prefix/include/"
}

# Builds every library of one target into a folder beside the final one and
# moves it into place only when complete, stamp included.
build_target() {
  local target=$1
  prefix="$root/$target.partial"
  build="$work/build/$target"
  rm -rf "$prefix" "$build"
  mkdir -p "$prefix/lib" "$prefix/include" "$build"
  select_target "$target" "$prefix"
  local step start=$SECONDS
  # A failed step stops this target (set -e); its log says why.
  trap 'say "$target: building $step failed; the end of its log:" >&2; tail -n 30 "$build/$step.log" >&2' EXIT
  for step in "${steps[@]}"; do
    "build_$step"
  done
  trap - EXIT
  {
    echo "recipe $recipe"
    printf '%s\n' "${versions_built[@]}"
    echo "zlib $(zlib_version "$target")"
  } >"$prefix/SOURCES"
  rm -rf "${root:?}/$target"
  mv "$prefix" "$root/$target"
  say "$target built in $((SECONDS - start)) s"
}

zlib_version() {
  local package=lib32z1-dev
  [[ $1 == *-w64-mingw32 ]] && package=libz-mingw-w64-dev
  echo "$(dpkg-query -W -f='${Version}' "$package") ($package)"
}

main() {
  local missing=() target
  for target in "${targets[@]}"; do
    is_built "$target" || missing+=("$target")
  done
  if ((${#missing[@]} == 0)); then
    say "libraries present in $root"
    return 0
  fi
  say "building libarchive and its libraries for ${missing[*]} into $root"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # apt's own user has to reach the download folders inside.
  chmod 755 "$work"
  mkdir -p "$root"
  prepare_apt
  versions_built=()
  local package
  for package in "${packages[@]}"; do
    fetch_source "$package"
  done
  # Side by side: one target's configure checks, which run one at a time,
  # overlap another's compiling.
  local pids=() failed=0 pid
  for target in "${missing[@]}"; do
    (build_target "$target") &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
  return "$failed"
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  main
fi

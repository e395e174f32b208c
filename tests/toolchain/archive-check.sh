#!/usr/bin/env bash
# Makes one small tree into a .tar.xz, .tar.zst, .tar.bz2 and .tar.lz4 (GNU
# tar), a .7z (7z) and a .xar (bsdtar) in the current folder and has
# archive_check read them all.
#
#   archive-check.sh PROGRAM [EMULATOR...]
set -euo pipefail
program=$1
shift
rm -rf tree archives
mkdir -p tree/sub archives
seq 200000 >tree/sub/numbers.txt
printf 'one line\n' >tree/note.txt
: >tree/empty
for compressor in xz:xz zstd:zst bzip2:bz2 lz4:lz4; do
  tar -C tree -I "${compressor%:*}" -cf "archives/tree.tar.${compressor#*:}" .
done
(cd tree && 7z a -bso0 -bsp0 ../archives/tree.7z . )
bsdtar -C tree --format xar -cf archives/tree.xar .
"$@" "$program" 3 archives/*

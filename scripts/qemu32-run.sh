#!/usr/bin/env bash
# Runs a 32-bit Linux program through qemu's user-mode emulator; CMake uses it
# as the cross-compiling emulator of the linux32 preset. The machine's kernel
# refuses 32-bit programs, so they never start directly.
#
#   qemu32-run.sh PROGRAM [ARGS...]
set -euo pipefail
# -L /: the 32-bit loader and libraries are the machine's own multilib ones.
exec qemu-i386-static -L / "$@"

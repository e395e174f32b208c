#!/usr/bin/env bash
# Installs what is missing, builds the native preset and lists a sample
# archive with packrook-cli: the quickest way to see the engine at work.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target packrook-cli
archive=${1:-tests/testdata/infozip_recursive.zip}
echo "Entries of $archive (size, packed size, CRC-32, attributes, name):"
exec build/linux/bin/packrook-cli list "$archive"

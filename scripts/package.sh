#!/usr/bin/env bash
# Builds the Debian package trovik32_VERSION_ARCH.deb into the current folder
# of the repository, from a build folder of its own (default: build-deb)
# configured for /usr, then shows what lintian says of it.
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=${1:-build-deb}
scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTROVIK_TESTS=OFF -DTROVIK_BENCH=OFF
(cd "$dir" && cpack -G DEB)
deb=$(ls -t "$dir"/trovik32_*.deb | head -1)
cp "$deb" .
echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$(basename "$deb")"
echo "Built $(basename "$deb"). Install it with: sudo apt-get install ./$(basename "$deb")"

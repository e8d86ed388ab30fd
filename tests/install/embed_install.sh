#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds examples/embed and tests/install/embed_check
# against that prefix alone, and runs the checks against the prefix's own centeremp-server.
# Usage: embed_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
tmp=$(mktemp -d /tmp/centeremp-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
# Nothing but the prefix and the system: no package registry, no path into the source tree.
cmake -S "$src/tests/install/embed_check" -B "$tmp/check" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_PREFIX_PATH="$tmp/prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    -DEMBED_EXAMPLE="$tmp/prefix/share/doc/tarvocenteremp/examples/embed" >"$tmp/configure.log" 2>&1 \
    || { cat "$tmp/configure.log"; exit 1; }
cmake --build "$tmp/check" -j2 >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; exit 1; }
"$tmp/check/embed_check" "$tmp/prefix"

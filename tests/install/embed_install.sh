#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the embedding checks against it
# (run_embed_check.sh).
# Usage: embed_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
tmp=$(mktemp -d /tmp/centeremp-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
bash "$src/tests/install/run_embed_check.sh" "$tmp/prefix" "$src" \
    "$tmp/prefix/share/doc/tarvocenteremp/examples/embed" "$tmp"

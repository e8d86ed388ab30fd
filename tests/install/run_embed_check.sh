#!/usr/bin/env bash
# Builds examples/embed and tests/install/embed_check against PREFIX alone, as any program that
# embeds the control is built (find_package(TarvoCenterEmp), nothing from the source tree, the
# example as PREFIX holds it), and runs the checks against PREFIX's own centeremp-server.
# Usage: run_embed_check.sh PREFIX SOURCE_DIR EXAMPLE_DIR WORK_DIR
set -euo pipefail
prefix=$1 src=$2 example=$3 work=$4
cmake -S "$src/tests/install/embed_check" -B "$work/check" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DEMBED_EXAMPLE="$example" \
    >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/check" -j2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
"$work/check/embed_check" "$prefix"

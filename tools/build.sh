#!/usr/bin/env bash
# Configures (once) and builds into ${KORVEL_BUILD_DIR:-build}.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KORVEL_BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)"

#!/usr/bin/env bash
# Installs what Korvel and its tests need, builds everything, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh --tests
tools/build.sh
ctest --test-dir "${KORVEL_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)"

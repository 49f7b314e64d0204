#!/usr/bin/env bash
# Installs what Korvel needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh
exec "${KORVEL_BUILD_DIR:-build}/bin/korvel-cli" --help

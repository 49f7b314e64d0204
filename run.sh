#!/usr/bin/env bash
# Installs what Korvel needs, builds it and starts it (the window when there
# is a display, korvel-cli --help otherwise).
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh
bin="${KORVEL_BUILD_DIR:-build}/bin"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/korvel"
fi
echo "No display to open the window on; here is the command-line tool instead." >&2
exec "$bin/korvel-cli" --help

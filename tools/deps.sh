#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Korvel needs, skipping those present.
# Usage: tools/deps.sh [--tests]
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config libpcre2-dev libicu-dev libexpat1-dev libxlsxwriter-dev libxxhash-dev opencc libopencc-data
  qt6-base-dev qt6-l10n-tools qt6-webengine-dev libqt6webenginecore6-bin libgl-dev fonts-noto-cjk)
if [ "${1:-}" = "--tests" ]; then packages+=(libgtest-dev util-linux xvfb xauth python3 desktop-file-utils appstream qt6-translations-l10n); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" = 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

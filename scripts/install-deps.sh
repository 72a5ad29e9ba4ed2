#!/usr/bin/env bash
# Installs what building, running and testing Rindell needs on Debian 12.
set -euo pipefail

packages=(cmake make g++ clang-format git qt6-base-dev libssl-dev qt6-qpa-plugins libgl-dev fonts-motoya-l-cedar fonts-ipafont-gothic fonts-dejavu-core
    xvfb xauth xdotool x11-utils python3 dieharder qt6-translations-l10n openbox strace "$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages strobo needs to build, test and run. Quick when all are present.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev
    libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev
    libgtest-dev libbenchmark-dev
    fonts-ipafont-gothic fontconfig qt6-translations-l10n
    ffmpeg imagemagick xvfb xauth
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "strobo: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

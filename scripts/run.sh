#!/usr/bin/env bash
# Installs what is missing, builds strobo and starts it: the windows when there is a display,
# otherwise the built-in demonstration on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ "$#" -gt 0 ] || [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec ./build/strobo "$@"
fi
echo "strobo: 画面がないため、見本の動画でストロボ写真を作ります (strobo demo)。" >&2
echo "strobo: no display found, so running the built-in demonstration (strobo demo) instead." >&2
exec ./build/strobo demo

#!/usr/bin/env bash
# Installs what is missing, builds, and starts Trovik32.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build > /dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  port=${TROVIK_VNC_PORT:-5900}
  echo "No display found: Trovik32 is served over VNC at localhost:$port (connect with a VNC viewer)."
  export QT_QPA_PLATFORM="vnc:addr=127.0.0.1:port=$port:size=1024x768"
fi
exec build/trovik32 "$@"

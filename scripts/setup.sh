#!/usr/bin/env bash
# Installs the Debian packages Trovik32 needs to build, test and run.
# Idempotent: installs only what is missing. Uses sudo only when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev xdg-utils
  fonts-ipafont-gothic
  liblhasa-dev
  libgtest-dev libicu-dev
  clang libclang-rt-14-dev
  lhasa jlha-utils
  xvfb x11vnc xdotool iproute2 procps
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

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
  lhasa jlha-utils nkf
  # the package test and scripts/package.sh
  dpkg-dev file desktop-file-utils appstream lintian
  # scripts/screenshot.sh, the start-up benchmark and the headless run: a virtual X display
  xvfb xauth xdotool imagemagick x11vnc iproute2 procps
  # the printing tests read the PDF back
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

#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
set -euo pipefail
PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev libvulkan-dev libqt6opengl6-dev
  libqt6sql6-sqlite libqt6sql6-psql
  qt6-5compat-dev qt6-charts-dev qt6-image-formats-plugins
  libxlsxwriter-dev libminizip-dev libfreexl-dev libzint-dev
  fonts-wqy-microhei qt6-translations-l10n
  postgresql libpq-dev
  poppler-utils xdg-utils
  clang libclang-rt-14-dev
  qt6-httpserver-dev qt6-websockets-dev libkainjow-mustache-dev
  chromium chromium-driver python3-selenium
  libyaz-dev yaz
  wrk
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs what building and testing Ledgerix needs on Debian 12; does nothing when all is there.
set -euo pipefail
pkgs=(build-essential cmake pkg-config clang clang-format libclang-rt-14-dev
  libgtest-dev libgsf-1-dev libpugixml-dev
  libwxgtk3.2-dev libgtk-3-dev wx3.2-i18n libcups2-dev libcairo2-dev libpango1.0-dev libfontconfig-dev
  nettle-dev libxml2-dev libicu-dev
  fonts-wqy-zenhei fonts-arphic-uming fonts-crosextra-carlito fonts-liberation2)
if [ "${1:-}" = "--test" ]; then
  pkgs+=(libreoffice-calc-nogui python3-uno python3-xlrd python3-openpyxl python3-xlwt
    python3-msoffcrypto-tool gnumeric poppler-utils cups cups-client cups-bsd cups-filters
    xvfb xauth openbox xdotool x11-utils imagemagick locales)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

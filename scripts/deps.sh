#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when missing, and those named
# on the command line (a developer script's own).
set -euo pipefail
PACKAGES=(cmake make g++ clang-format qtbase5-dev qtbase5-dev-tools libqt5sql5-sqlite libqt5svg5-dev
          qtmultimedia5-dev libqt5multimedia5-plugins xvfb xauth openssl tzdata "$@")
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
